// Demo client of the CRL update: trusts a CA for the current user, then asks
// the library twice to bring the CRL of a certificate's issuer up to date
// (interval one hour), printing each call's result and trace lines.
//
//   lorvex_demo_client CA_FILE CERTIFICATE_FILE     (DER files)
//
// Run it under lorvex_trace_capture to see the trace. Wine cannot stamp a
// CRL (no CRL properties in the user range), so the stamps are kept in memory
// for the length of the demo; the stores are the real ones.
#include <windows.h>
#include <objbase.h>
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "CRLUpdate.h"
#include "CryptHandles.h"
#include "StampStandIn.h"
#include "TraceReader.h"

namespace {

using lorvex_test::Bytes;

Bytes ReadFileBytes(const char* path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

bool TrustForCurrentUser(const Bytes& ca) {
  lorvex::CTempStore root(::CertOpenSystemStoreA(0, "ROOT"));
  return root && ::CertAddEncodedCertificateToStore(root.Get(), X509_ASN_ENCODING, ca.data(),
                                                    static_cast<DWORD>(ca.size()), CERT_STORE_ADD_USE_EXISTING,
                                                    nullptr);
}

void Update(ICRLUpdate* updater, Bytes certificate, int call) {
  lorvex_test::CTraceCapture trace;
  VARIANT_BOOL result = VARIANT_FALSE;
  const HRESULT hr = updater->Update_BINARY(certificate.data(), static_cast<long>(certificate.size()), &result);
  std::printf("call %d: Update_BINARY returned 0x%08lX, result %s\n", call, static_cast<unsigned long>(hr),
              result ? "True" : "False");
  for (const std::string& line : trace.Lines()) std::printf("    %s\n", line.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: lorvex_demo_client CA_FILE CERTIFICATE_FILE\n");
    return 2;
  }
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (!TrustForCurrentUser(ReadFileBytes(argv[1]))) {
    std::fprintf(stderr, "cannot add the CA to the user's ROOT store\n");
    return 1;
  }
  {
    lorvex_test::CStampStandIn stamps;
    qcom::CComPtr<ICRLUpdate> updater;
    qcom::CreateComObject<lorvex::CCRLUpdate>(nullptr, IID_ICRLUpdate, updater.PutVoid(), stamps);
    updater->put_UpdateInterval(3600);
    const Bytes certificate = ReadFileBytes(argv[2]);
    Update(updater.Get(), certificate, 1);
    Update(updater.Get(), certificate, 2);
  }
  ::CoUninitialize();
  return 0;
}
