#!/usr/bin/env bash
# Makes the test PKI of the CRL update tests with the openssl CLI:
#   make_pki.sh DIR PORT
# DIR receives, in DER and base64 forms: a CA ("Lorvex Test CA"), a second CA,
# an impostor with the CA's name and key identifier but a key of its own,
# leaves of the CA with and without distribution points, and CRLs of the CA
# with an older and a newer thisUpdate, the second CA's CRL, one signed by
# the impostor and one with a flipped signature byte. The leaves' distribution
# points name the loopback server on PORT.
set -euo pipefail
dir=$1 port=$2
mkdir -p "$dir"
cd "$dir"

ca_config() {  # name
  mkdir -p "$1.db"
  : >"$1.db/index.txt"
  echo 01 >"$1.db/crlnumber"
  cat >"$1.cnf" <<CNF
[ca]
default_ca = this
[this]
database = $1.db/index.txt
crlnumber = $1.db/crlnumber
certificate = $1.pem
private_key = $1.key
default_md = sha256
default_crl_days = 30
crl_extensions = crl_ext
[crl_ext]
authorityKeyIdentifier = keyid:always
[req]
distinguished_name = dn
[dn]
CNF
}

make_ca() {  # name subject [key-identifier]
  openssl genrsa -out "$1.key" 2048 2>/dev/null
  local ski=${3:-hash}
  openssl req -new -x509 -days 3650 -key "$1.key" -subj "$2" -out "$1.pem" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
    -addext "subjectKeyIdentifier=$ski" 2>/dev/null
  openssl x509 -in "$1.pem" -outform DER -out "$1.cer"
  ca_config "$1"
}

key_identifier() {  # name
  openssl x509 -in "$1.pem" -noout -ext subjectKeyIdentifier | tail -1 | tr -d ' '
}

make_leaf() {  # name issuer [distribution points [extension sections]]
  openssl genrsa -out "$1.key" 2048 2>/dev/null
  openssl req -new -key "$1.key" -subj "/CN=$1" -out "$1.csr" 2>/dev/null
  {
    echo "authorityKeyIdentifier=keyid"
    echo "basicConstraints=CA:FALSE"
    [ -n "${3:-}" ] && echo "crlDistributionPoints=$3"
    [ -n "${4:-}" ] && echo "$4"
  } >"$1.ext"
  openssl x509 -req -in "$1.csr" -CA "$2.pem" -CAkey "$2.key" -CAcreateserial -days 365 \
    -extfile "$1.ext" -out "$1.pem" 2>/dev/null
  openssl x509 -in "$1.pem" -outform DER -out "$1.cer"
  base64 -w64 "$1.cer" >"$1.b64"
}

make_crl() {  # name issuer last-update
  openssl ca -config "$2.cnf" -gencrl -crl_lastupdate "$3" -crldays 30 -out "$1.crl.pem" 2>/dev/null
  openssl crl -in "$1.crl.pem" -outform DER -out "$1.crl"
}

stamp() { date -u -d "$1" +%Y%m%d%H%M%SZ; }

# A name of its own per run: system stores of earlier runs keep their CRLs.
ca_name="/CN=Lorvex Test CA $(date +%s%N)"
make_ca ca "$ca_name"
make_ca other_ca "/CN=Lorvex Other CA"
make_ca impostor "$ca_name" "$(key_identifier ca)"

url="http://127.0.0.1:$port"
make_leaf leaf_cdp ca "URI:http://127.0.0.1:1/unreachable.crl,URI:$url/ca.crl"
make_leaf leaf_nocdp ca
make_leaf leaf_missing ca "URI:$url/missing.crl"
make_leaf leaf_error ca "URI:$url/error500.crl"
make_leaf leaf_other other_ca "URI:$url/ca.crl"
make_leaf leaf_unreachable ca "URI:http://127.0.0.1:1/unreachable.crl"
# A first distribution point named by a directory name, not a URL.
make_leaf leaf_dirname ca "point_by_name,point_by_url" "
[point_by_name]
fullname=dirName:directory_name
[directory_name]
CN=Lorvex CRL Directory
[point_by_url]
fullname=URI:$url/ca.crl"

make_crl ca_old ca "$(stamp '2 days ago')"
make_crl ca_new ca "$(stamp '1 day ago')"
make_crl other_ca other_ca "$(stamp '1 day ago')"
make_crl impostor impostor "$(stamp '1 hour ago')"

# The newest CRL of the CA with one byte of its signature (the last byte of
# the file) flipped.
cp ca_new.crl ca_tampered.crl
size=$(stat -c %s ca_tampered.crl)
last=$(od -An -tu1 -j $((size - 1)) -N1 ca_tampered.crl | tr -d ' ')
printf "$(printf '\\%03o' $((last ^ 0xFF)))" | dd of=ca_tampered.crl bs=1 seek=$((size - 1)) conv=notrunc 2>/dev/null

# Base64 bodies of the newest CRL: 64-character lines with LF and with CR LF,
# and the armoured PEM form, which the library does not accept.
base64 -w64 ca_new.crl >ca_new_lf.b64
sed 's/$/\r/' ca_new_lf.b64 >ca_new_crlf.b64
cp ca_new.crl.pem ca_new_armoured.b64

# An empty answer: no bytes, which the library takes for base64 text.
: >empty.crl
