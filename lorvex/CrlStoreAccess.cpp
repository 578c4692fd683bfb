#include "CrlStoreAccess.h"

namespace lorvex {

namespace {

class CCrypt32StoreAccess : public ICrlStoreAccess {
 public:
  HCERTSTORE OpenSystemStore(const wchar_t* name, DWORD flags) override {
    return ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0, flags, name);
  }
  BOOL GetCrlProperty(PCCRL_CONTEXT crl, DWORD id, void* data, DWORD* size) override {
    return ::CertGetCRLContextProperty(crl, id, data, size);
  }
  BOOL SetCrlProperty(PCCRL_CONTEXT crl, DWORD id, DWORD flags, const void* data) override {
    return ::CertSetCRLContextProperty(crl, id, flags, data);
  }
};

}  // namespace

ICrlStoreAccess& Crypt32StoreAccess() {
  static CCrypt32StoreAccess access;
  return access;
}

}  // namespace lorvex
