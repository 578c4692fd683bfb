// Owners for CryptoAPI contexts and stores.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include "Win32/Handles.h"

namespace lorvex {

struct CertContextFreer { void operator()(PCCERT_CONTEXT p) const { ::CertFreeCertificateContext(p); } };
struct CrlContextFreer { void operator()(PCCRL_CONTEXT p) const { ::CertFreeCRLContext(p); } };
// A store of the object's own making (never a system store): everything in
// it goes with it.
struct StoreForceCloser { void operator()(HCERTSTORE h) const { ::CertCloseStore(h, CERT_CLOSE_STORE_FORCE_FLAG); } };

using CCertContext = qwin::CUniqueHandle<PCCERT_CONTEXT, CertContextFreer>;
using CCrlContext = qwin::CUniqueHandle<PCCRL_CONTEXT, CrlContextFreer>;
using CTempStore = qwin::CUniqueHandle<HCERTSTORE, StoreForceCloser>;

}  // namespace lorvex
