// The stand-in Admin Base object within one process: keys, property records,
// handles and their locks, as the metabase wrapper relies on them.
#include <gtest/gtest.h>

#include <vector>

#include "MetabaseStandIn.h"
#include "MetabaseTestSupport.h"

namespace {

const HRESULT kPathNotFound = HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
const HRESULT kAlreadyExists = HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
const HRESULT kNoMoreItems = HRESULT_FROM_WIN32(ERROR_NO_MORE_ITEMS);
const HRESULT kInsufficientBuffer = HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
const HRESULT kPathBusy = HRESULT_FROM_WIN32(ERROR_PATH_BUSY);
const HRESULT kDataNotFound = static_cast<HRESULT>(0x800CC801);
const DWORD kRead = METADATA_PERMISSION_READ;
const DWORD kWrite = METADATA_PERMISSION_WRITE;
const DWORD kVrPath = 3001;

using Keys = MetabaseTest;
using Data = MetabaseTest;
using Handles = MetabaseTest;

TEST_F(Keys, AddKeyCreatesMissingParentsAndRefusesAnExistingKey) {
  METADATA_HANDLE root = Open(L"", kWrite);
  EXPECT_HRESULT_SUCCEEDED(m_admin->AddKey(root, L"LM/W3SVC/1/Root"));
  EXPECT_EQ(kAlreadyExists, m_admin->AddKey(root, L"LM/W3SVC/1"));
  EXPECT_EQ(kAlreadyExists, m_admin->AddKey(root, L"lm/w3svc/1/ROOT")) << "names compare without case";
  Close(root);
  // Leading, trailing and doubled separators name the same key.
  EXPECT_HRESULT_SUCCEEDED(TryOpen(L"/lm//W3SVC/1/root/", kRead, 0));
}

TEST_F(Keys, MissingKeysAnswerPathNotFound) {
  AddKeys(L"LM/W3SVC");
  EXPECT_EQ(kPathNotFound, TryOpen(L"LM/W3SVC/7", kRead, 0));
  std::wstring value;
  EXPECT_EQ(kPathNotFound, GetString(METADATA_MASTER_ROOT_HANDLE, L"LM/W3SVC/7/Root", kVrPath, &value));
  wchar_t name[METADATA_MAX_NAME_LEN];
  EXPECT_EQ(kPathNotFound, m_admin->EnumKeys(METADATA_MASTER_ROOT_HANDLE, L"LM/Nowhere", name, 0));
}

TEST_F(Keys, DeleteKeyRemovesTheWholeSubtree) {
  AddKeys(L"LM/W3SVC/1/Root/Vesmoro");
  METADATA_HANDLE site = Open(L"LM/W3SVC/1", kRead | kWrite);
  EXPECT_HRESULT_SUCCEEDED(SetString(site, L"Root", kVrPath, L"C:\\site"));
  EXPECT_HRESULT_SUCCEEDED(m_admin->DeleteKey(site, L"Root"));
  EXPECT_EQ(kPathNotFound, m_admin->DeleteKey(site, L"Root"));
  Close(site);
  EXPECT_EQ(kPathNotFound, TryOpen(L"LM/W3SVC/1/Root/Vesmoro", kRead, 0));
  EXPECT_HRESULT_SUCCEEDED(TryOpen(L"LM/W3SVC/1", kRead, 0));
}

TEST_F(Keys, EnumKeysNamesEachChildOnceThenNoMoreItems) {
  for (const wchar_t* key : {L"LM/W3SVC/2", L"LM/W3SVC/10", L"LM/W3SVC/Filters", L"LM/W3SVC/Info"}) AddKeys(key);
  METADATA_HANDLE lm = Open(L"LM", kRead);
  std::vector<std::wstring> names;
  wchar_t name[METADATA_MAX_NAME_LEN];
  HRESULT hr;
  while ((hr = m_admin->EnumKeys(lm, L"W3SVC", name, static_cast<DWORD>(names.size()))) == S_OK) {
    names.push_back(name);
  }
  EXPECT_EQ(kNoMoreItems, hr);
  EXPECT_EQ((std::vector<std::wstring>{L"10", L"2", L"Filters", L"Info"}), names);
  Close(lm);
}

TEST_F(Data, RecordsKeepIdentifierAttributesAndTypes) {
  AddKeys(L"LM/W3SVC/1");
  METADATA_HANDLE site = Open(L"LM/W3SVC/1", kWrite);
  EXPECT_HRESULT_SUCCEEDED(SetDword(site, nullptr, 66000, 0xFFFFFFFF, METADATA_INHERIT, 100));
  Close(site);
  DWORD value = 0, required = 0;
  METADATA_RECORD record{66000, 0, ALL_METADATA, ALL_METADATA, sizeof value,
                         reinterpret_cast<unsigned char*>(&value), 0};
  ASSERT_HRESULT_SUCCEEDED(m_admin->GetData(METADATA_MASTER_ROOT_HANDLE, L"LM/W3SVC/1", &record, &required));
  EXPECT_EQ(0xFFFFFFFFu, value);
  EXPECT_EQ(static_cast<DWORD>(METADATA_INHERIT), record.dwMDAttributes);
  EXPECT_EQ(100u, record.dwMDUserType);
  EXPECT_EQ(static_cast<DWORD>(DWORD_METADATA), record.dwMDDataType);
  EXPECT_EQ(4u, record.dwMDDataLen);
  // A request for another user type or data type does not see the record.
  record = METADATA_RECORD{66000, 0, 1, ALL_METADATA, sizeof value, reinterpret_cast<unsigned char*>(&value), 0};
  EXPECT_EQ(kDataNotFound, m_admin->GetData(METADATA_MASTER_ROOT_HANDLE, L"LM/W3SVC/1", &record, &required));
  std::wstring text;
  EXPECT_EQ(kDataNotFound, GetString(METADATA_MASTER_ROOT_HANDLE, L"LM/W3SVC/1", 66000, &text));
}

TEST_F(Data, TooSmallABufferLearnsTheByteCountItNeeds) {
  AddKeys(L"LM/W3SVC/1/Filters");
  METADATA_HANDLE filters = Open(L"LM/W3SVC/1/Filters", kWrite);
  EXPECT_HRESULT_SUCCEEDED(SetString(filters, nullptr, 2040, L"A,B"));
  EXPECT_HRESULT_SUCCEEDED(SetString(filters, nullptr, 2041, L""));
  Close(filters);
  METADATA_RECORD record{2040, 0, 1, STRING_METADATA, 0, nullptr, 0};
  DWORD required = 0;
  EXPECT_EQ(kInsufficientBuffer, m_admin->GetData(METADATA_MASTER_ROOT_HANDLE, L"LM/W3SVC/1/Filters", &record,
                                                  &required));
  EXPECT_EQ(8u, required) << "three characters and the zero";
  wchar_t shortBuffer[3];
  record = METADATA_RECORD{2040, 0, 1, STRING_METADATA, sizeof shortBuffer,
                           reinterpret_cast<unsigned char*>(shortBuffer), 0};
  EXPECT_EQ(kInsufficientBuffer, m_admin->GetData(METADATA_MASTER_ROOT_HANDLE, L"LM/W3SVC/1/Filters", &record,
                                                  &required));
  std::wstring value;
  EXPECT_HRESULT_SUCCEEDED(GetString(METADATA_MASTER_ROOT_HANDLE, L"LM/W3SVC/1/Filters", 2040, &value));
  EXPECT_EQ(L"A,B", value);
  record = METADATA_RECORD{2041, 0, 1, STRING_METADATA, 0, nullptr, 0};
  EXPECT_EQ(kInsufficientBuffer, m_admin->GetData(METADATA_MASTER_ROOT_HANDLE, L"LM/W3SVC/1/Filters", &record,
                                                  &required));
  EXPECT_EQ(2u, required) << "an empty string is its zero";
}

TEST_F(Data, DeletedAndNeverSetDataIsNotFound) {
  AddKeys(L"LM/W3SVC/1/Root");
  METADATA_HANDLE root = Open(L"LM/W3SVC/1/Root", kRead | kWrite);
  std::wstring value;
  EXPECT_EQ(kDataNotFound, GetString(root, nullptr, kVrPath, &value));
  EXPECT_HRESULT_SUCCEEDED(SetString(root, nullptr, kVrPath, L"C:\\site"));
  EXPECT_EQ(kDataNotFound, m_admin->DeleteData(root, nullptr, kVrPath, DWORD_METADATA)) << "other data type";
  EXPECT_HRESULT_SUCCEEDED(m_admin->DeleteData(root, nullptr, kVrPath, ALL_METADATA));
  EXPECT_EQ(kDataNotFound, GetString(root, nullptr, kVrPath, &value));
  EXPECT_EQ(kDataNotFound, m_admin->DeleteData(root, nullptr, kVrPath, ALL_METADATA));
  Close(root);
}

TEST_F(Data, InheritedDataComesOnlyWhenAskedForAndOnlyFromTheNearestSetter) {
  AddKeys(L"LM/W3SVC/1/Root/Vesmoro/Sub");
  METADATA_HANDLE site = Open(L"LM/W3SVC/1", kWrite);
  EXPECT_HRESULT_SUCCEEDED(SetString(site, L"Root", kVrPath, L"C:\\site", METADATA_INHERIT, 2));
  EXPECT_HRESULT_SUCCEEDED(SetString(site, L"Root", 3002, L"NotInherited", 0, 2));
  Close(site);
  const wchar_t* sub = L"LM/W3SVC/1/Root/Vesmoro/Sub";
  std::wstring value;
  EXPECT_EQ(kDataNotFound, GetString(METADATA_MASTER_ROOT_HANDLE, sub, kVrPath, &value));
  EXPECT_HRESULT_SUCCEEDED(GetString(METADATA_MASTER_ROOT_HANDLE, sub, kVrPath, &value, METADATA_INHERIT));
  EXPECT_EQ(L"C:\\site", value);
  EXPECT_EQ(kDataNotFound, GetString(METADATA_MASTER_ROOT_HANDLE, sub, 3002, &value, METADATA_INHERIT));

  wchar_t buffer[32];
  DWORD required = 0;
  METADATA_RECORD record{kVrPath, METADATA_INHERIT | METADATA_ISINHERITED, 0, STRING_METADATA, sizeof buffer,
                         reinterpret_cast<unsigned char*>(buffer), 0};
  ASSERT_HRESULT_SUCCEEDED(m_admin->GetData(METADATA_MASTER_ROOT_HANDLE, sub, &record, &required));
  EXPECT_EQ(static_cast<DWORD>(METADATA_INHERIT | METADATA_ISINHERITED), record.dwMDAttributes);

  // A nearer key that sets the identifier without inheritance ends it.
  METADATA_HANDLE vesmoro = Open(L"LM/W3SVC/1/Root/Vesmoro", kWrite);
  EXPECT_HRESULT_SUCCEEDED(SetString(vesmoro, nullptr, kVrPath, L"D:\\apps", 0, 2));
  Close(vesmoro);
  EXPECT_EQ(kDataNotFound, GetString(METADATA_MASTER_ROOT_HANDLE, sub, kVrPath, &value, METADATA_INHERIT));
  EXPECT_EQ(kPathNotFound,
            GetString(METADATA_MASTER_ROOT_HANDLE, L"LM/W3SVC/1/Root/Gone", kVrPath, &value, METADATA_INHERIT));
  EXPECT_HRESULT_SUCCEEDED(GetString(METADATA_MASTER_ROOT_HANDLE, L"LM/W3SVC/1/Root/Gone", kVrPath, &value,
                                     METADATA_INHERIT | METADATA_PARTIAL_PATH));
  EXPECT_EQ(L"C:\\site", value);
}

TEST_F(Data, EnumDataWalksTheKeysOwnRecords) {
  AddKeys(L"LM/W3SVC/1/Root");
  METADATA_HANDLE root = Open(L"LM/W3SVC/1/Root", kRead | kWrite);
  EXPECT_HRESULT_SUCCEEDED(SetDword(root, nullptr, 6016, 513, 0, 2));
  EXPECT_HRESULT_SUCCEEDED(SetString(root, nullptr, 1002, L"IIsWebVirtualDir"));
  std::vector<DWORD> ids;
  unsigned char buffer[64];
  DWORD required = 0;
  HRESULT hr;
  for (;;) {
    METADATA_RECORD record{0, 0, ALL_METADATA, ALL_METADATA, sizeof buffer, buffer, 0};
    hr = m_admin->EnumData(root, nullptr, &record, static_cast<DWORD>(ids.size()), &required);
    if (hr != S_OK) break;
    ids.push_back(record.dwMDIdentifier);
  }
  EXPECT_EQ(kNoMoreItems, hr);
  EXPECT_EQ((std::vector<DWORD>{1002, 6016}), ids);
  Close(root);
}

TEST_F(Data, WritingNeedsAHandleWithWritePermission) {
  AddKeys(L"LM/W3SVC/1");
  METADATA_HANDLE reader = Open(L"LM/W3SVC/1", kRead);
  EXPECT_EQ(E_ACCESSDENIED, SetDword(reader, nullptr, 66000, 1));
  EXPECT_EQ(E_ACCESSDENIED, m_admin->AddKey(reader, L"Root"));
  EXPECT_EQ(E_ACCESSDENIED, m_admin->DeleteKey(reader, L"Root"));
  Close(reader);
  EXPECT_EQ(E_ACCESSDENIED, SetDword(METADATA_MASTER_ROOT_HANDLE, L"LM/W3SVC/1", 66000, 1));
  EXPECT_EQ(E_ACCESSDENIED, m_admin->AddKey(METADATA_MASTER_ROOT_HANDLE, L"LM/W3SVC/2"));
}

TEST_F(Data, NullArgumentsAreRefused) {
  AddKeys(L"LM");
  METADATA_HANDLE lm = Open(L"LM", kWrite);
  DWORD required = 0;
  METADATA_RECORD record{1, 0, 0, DWORD_METADATA, 4, nullptr, 0};
  EXPECT_EQ(E_INVALIDARG, m_admin->SetData(lm, nullptr, nullptr));
  EXPECT_EQ(E_INVALIDARG, m_admin->SetData(lm, nullptr, &record));
  EXPECT_EQ(E_INVALIDARG, m_admin->GetData(lm, nullptr, nullptr, &required));
  EXPECT_EQ(E_INVALIDARG, m_admin->GetData(lm, nullptr, &record, nullptr));
  EXPECT_EQ(E_INVALIDARG, m_admin->EnumKeys(lm, nullptr, nullptr, 0));
  EXPECT_EQ(E_INVALIDARG, m_admin->OpenKey(METADATA_MASTER_ROOT_HANDLE, L"LM", kRead, 0, nullptr));
  EXPECT_EQ(E_INVALIDARG, m_admin->GetHandleInfo(lm, nullptr));
  Close(lm);
}

TEST_F(Handles, AWriterLocksItsSubtreeAndThePathAboveForTheTimeOut) {
  for (const wchar_t* key : {L"LM/W3SVC/1/Root", L"LM/W3SVC/2"}) AddKeys(key);
  METADATA_HANDLE site = Open(L"LM/W3SVC/1", kWrite);
  const DWORD start = ::GetTickCount();
  EXPECT_EQ(kPathBusy, TryOpen(L"LM/W3SVC/1/Root", kWrite, 300));
  EXPECT_GE(::GetTickCount() - start, 250u) << "gave up before the time-out";
  EXPECT_EQ(kPathBusy, TryOpen(L"LM/W3SVC/1", kRead, 0));
  EXPECT_EQ(kPathBusy, TryOpen(L"LM", kRead, 0));
  EXPECT_HRESULT_SUCCEEDED(TryOpen(L"LM/W3SVC/2", kWrite, 0)) << "a sibling is free";
  Close(site);
  EXPECT_HRESULT_SUCCEEDED(TryOpen(L"LM/W3SVC/1/Root", kWrite, 0));
}

TEST_F(Handles, KeysOpenedThroughAHeldHandleAreInsideItsLock) {
  AddKeys(L"LM/W3SVC/1/Root/Vesmoro");
  METADATA_HANDLE site = Open(L"LM/W3SVC/1", kRead | kWrite);
  METADATA_HANDLE folder = 0;
  EXPECT_HRESULT_SUCCEEDED(m_admin->OpenKey(site, L"Root/Vesmoro", kRead, 0, &folder));
  EXPECT_EQ(kPathBusy, TryOpen(L"LM/W3SVC/1/Root/Vesmoro", kRead, 0)) << "others are still locked out";
  Close(folder);
  Close(site);
}

TEST_F(Handles, ReadersShareButExcludeWriters) {
  AddKeys(L"LM/W3SVC/1/Root");
  METADATA_HANDLE first = Open(L"LM/W3SVC", kRead);
  METADATA_HANDLE second = Open(L"LM/W3SVC/1", kRead);
  EXPECT_EQ(kPathBusy, TryOpen(L"LM/W3SVC/1/Root", kWrite, 50));
  EXPECT_EQ(kPathBusy, TryOpen(L"LM", kRead | kWrite, 0));
  METADATA_HANDLE_INFO info{};
  EXPECT_HRESULT_SUCCEEDED(m_admin->GetHandleInfo(second, &info));
  EXPECT_EQ(kRead, info.dwMDPermissions);
  Close(first);
  Close(second);
  EXPECT_HRESULT_SUCCEEDED(TryOpen(L"LM/W3SVC/1/Root", kWrite, 0));
}

TEST_F(Handles, UnknownAndClosedHandlesAreInvalid) {
  AddKeys(L"LM");
  METADATA_HANDLE lm = Open(L"LM", kWrite);
  Close(lm);
  EXPECT_EQ(E_HANDLE, m_admin->CloseKey(lm));
  EXPECT_EQ(E_HANDLE, m_admin->AddKey(lm, L"W3SVC"));
  std::wstring value;
  EXPECT_EQ(E_HANDLE, GetString(12345, nullptr, 1, &value));
  EXPECT_EQ(E_HANDLE, m_admin->CloseKey(METADATA_MASTER_ROOT_HANDLE));
}

TEST_F(Handles, CountersFollowEveryOpenAndClose) {
  AddKeys(L"LM/W3SVC");
  const DWORD opened = Counter(metabase::kOpenedHandlesId), closed = Counter(metabase::kClosedHandlesId);
  METADATA_HANDLE first = Open(L"LM", kRead);
  METADATA_HANDLE second = Open(L"LM/W3SVC", kRead);
  EXPECT_EQ(kPathNotFound, TryOpen(L"LM/Nowhere", kRead, 0)) << "a failed open counts for nothing";
  EXPECT_EQ(2u, Counter(metabase::kOpenHandlesId));
  Close(first);
  EXPECT_EQ(opened + 2, Counter(metabase::kOpenedHandlesId));
  EXPECT_EQ(closed + 1, Counter(metabase::kClosedHandlesId));
  Close(second);
  EXPECT_EQ(0u, Counter(metabase::kOpenHandlesId));
  EXPECT_EQ(closed + 2, Counter(metabase::kClosedHandlesId));
}

}  // namespace
