// CMDKey against the stand-in metabase: the site it binds to, the records it
// writes (read back raw through the Admin Base interface), its log records
// and its handle discipline.
#include <windows.h>
#include <iadmw.h>
#include <iiscnfg.h>

#include <gtest/gtest.h>

#include <string>

#include "LogCapture.h"
#include "MDKey.h"
#include "MetabaseStandIn.h"
#include "MetabaseTestSupport.h"
#include "Win32/Handles.h"

namespace {

using qarnutil::CMDKey;

constexpr HRESULT kPathNotFound = HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
constexpr HRESULT kAlreadyExists = HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);

class MDKeyTest : public MetabaseTest {
 protected:
  void Seed(const std::wstring& arguments = L"") {
    ASSERT_EQ(0u, RunTool(L"seed " + arguments).exitCode);
  }
  // The record as the metabase keeps it, with up to 64 bytes of data.
  METADATA_RECORD RawRecord(const wchar_t* key, DWORD identifier) {
    METADATA_RECORD record{identifier, 0, ALL_METADATA, ALL_METADATA, sizeof(m_rawData), m_rawData, 0};
    DWORD required = 0;
    EXPECT_HRESULT_SUCCEEDED(m_admin->GetData(METADATA_MASTER_ROOT_HANDLE, key, &record, &required));
    return record;
  }
  std::pair<DWORD, DWORD> OpenedAndClosed() {
    return {Counter(metabase::kOpenedHandlesId), Counter(metabase::kClosedHandlesId)};
  }

  unsigned char m_rawData[64] = {};
};

struct CSiteChoice {
  const wchar_t* seed;    // the seed's arguments, or null for an empty metabase
  const wchar_t* change;  // a further tool command, or null
  const wchar_t* instance;
};

class SiteChoice : public MDKeyTest, public ::testing::WithParamInterface<CSiteChoice> {};

TEST_P(SiteChoice, NullInstanceBindsTheLowestNumberedSite) {
  if (GetParam().seed) Seed(GetParam().seed);
  if (GetParam().change) {
    ASSERT_EQ(0u, RunTool(GetParam().change).exitCode);
  }
  CMDKey key;
  ASSERT_EQ(S_OK, key._Init(nullptr));
  EXPECT_EQ(GetParam().instance, key.m_strInstance);
  EXPECT_EQ(std::wstring(L"LM/W3SVC/") + GetParam().instance, key.m_strRootPath);
}

INSTANTIATE_TEST_SUITE_P(Sites, SiteChoice,
                         ::testing::Values(CSiteChoice{L"--sites 3,1", nullptr, L"1"},
                                           CSiteChoice{L"--sites 10,2", nullptr, L"2"},
                                           CSiteChoice{L"--sites 1", L"delete LM/W3SVC/1", L"268435455"},
                                           CSiteChoice{nullptr, nullptr, L"268435455"}));

TEST_F(MDKeyTest, GivenInstanceIsTakenWithoutAskingTheMetabase) {
  Seed();
  const auto before = OpenedAndClosed();
  CMDKey key;
  ASSERT_EQ(S_OK, key._Init(L"7"));
  EXPECT_EQ(L"LM/W3SVC/7", key.m_strRootPath);
  EXPECT_EQ(before, OpenedAndClosed());
  // An empty instance is taken as given too; callers pass null instead.
  ASSERT_EQ(S_OK, key._Init(L""));
  EXPECT_EQ(L"LM/W3SVC/", key.m_strRootPath);
}

TEST_F(MDKeyTest, FailedCreationIsLoggedAndLeavesTheKeyUnbound) {
  qtest::CLogCapture log;
  CMDKey key(CLSID_NULL);
  EXPECT_EQ(REGDB_E_CLASSNOTREG, key._Init(L"1"));
  EXPECT_EQ(std::vector<qtest::CRecord>(
                {{log4cplus::ERROR_LOG_LEVEL,
                  "[m_piAdminBase.CoCreateInstance(CLSID_MSAdminBase)] hr = 0x80040154 | -2147221164"}}),
            log.Records());
  EXPECT_EQ(L"", key.m_strRootPath);
  DWORD value = 0;
  EXPECT_EQ(E_UNEXPECTED, key.GetDWORD(nullptr, 1, 1, &value));
}

TEST_F(MDKeyTest, ReadsOfAbsentValuesSucceedWithTheirNoneValues) {
  Seed();
  CMDKey key;
  ASSERT_EQ(S_OK, key._Init(L"1"));
  qtest::CLogCapture log;
  qwin::CRuntimeMemory<wchar_t> text;
  EXPECT_EQ(S_OK, key.GetString(L"Root", 9999, IIS_MD_UT_SERVER, text.Put()));
  ASSERT_TRUE(text);
  EXPECT_STREQ(L"", text.Get());
  DWORD value = 0;
  EXPECT_EQ(S_OK, key.GetDWORD(nullptr, qarnutil::kMarkerIdentifier, qarnutil::kMarkerUserType, &value));
  EXPECT_EQ(0xFFFFFFFFu, value);
  EXPECT_EQ(std::vector<qtest::CRecord>({{log4cplus::ERROR_LOG_LEVEL, "MD_ERROR_DATA_NOT_FOUND in m_piAdminBase->GetData"},
                                         {log4cplus::ERROR_LOG_LEVEL, "Error in m_piAdminBase->GetData"}}),
            log.Records());
}

TEST_F(MDKeyTest, AStringReadGrowsItsBufferOnce) {
  ASSERT_EQ(0u, RunTool(L"seed --root \"1=C:\\inetpub\\site one\"").exitCode);
  CMDKey key;
  ASSERT_EQ(S_OK, key._Init(L"1"));
  qtest::CLogCapture log;
  qwin::CRuntimeMemory<wchar_t> text;
  EXPECT_EQ(S_OK, key.GetString(L"Root", MD_VR_PATH, IIS_MD_UT_FILE, text.Put()));
  EXPECT_STREQ(L"C:\\inetpub\\site one", text.Get());
  EXPECT_EQ(1u, log.Count("ERROR_INSUFFICIENT_BUFFER in m_piAdminBase->GetData"));
  EXPECT_EQ(1u, log.Records().size());
}

TEST_F(MDKeyTest, ReadsOfOtherFailuresAreReturned) {
  Seed();
  CMDKey key;
  ASSERT_EQ(S_OK, key._Init(L"1"));
  qwin::CRuntimeMemory<wchar_t> text;
  EXPECT_EQ(kPathNotFound, key.GetString(L"NoSuchKey", MD_VR_PATH, IIS_MD_UT_FILE, text.Put()));
  EXPECT_FALSE(text);
  DWORD value = 7;
  EXPECT_EQ(kPathNotFound, key.GetDWORD(L"NoSuchKey", 6016, IIS_MD_UT_FILE, &value));
  EXPECT_EQ(7u, value);
  EXPECT_EQ(E_POINTER, key.GetString(L"Root", MD_VR_PATH, IIS_MD_UT_FILE, nullptr));
  EXPECT_EQ(E_POINTER, key.GetDWORD(L"Root", 6016, IIS_MD_UT_FILE, nullptr));
}

TEST_F(MDKeyTest, WritesKeepTheirTypesAttributesAndLengths) {
  Seed();
  CMDKey key;
  ASSERT_EQ(S_OK, key._Init(L"1"));
  ASSERT_EQ(S_OK, key.SetString(L"Root", MD_KEY_TYPE, L"", IIS_MD_UT_SERVER, FALSE));
  METADATA_RECORD record = RawRecord(L"LM/W3SVC/1/Root", MD_KEY_TYPE);
  EXPECT_EQ(2u, record.dwMDDataLen);  // the terminating zero alone
  EXPECT_EQ(static_cast<DWORD>(STRING_METADATA), record.dwMDDataType);
  EXPECT_EQ(static_cast<DWORD>(METADATA_NO_ATTRIBUTES), record.dwMDAttributes);
  EXPECT_EQ(static_cast<DWORD>(IIS_MD_UT_SERVER), record.dwMDUserType);

  ASSERT_EQ(S_OK, key.SetDWORD(nullptr, qarnutil::kMarkerIdentifier, qarnutil::kMarkerInstalled,
                               qarnutil::kMarkerUserType, TRUE));
  record = RawRecord(L"LM/W3SVC/1", qarnutil::kMarkerIdentifier);
  EXPECT_EQ(4u, record.dwMDDataLen);
  EXPECT_EQ(static_cast<DWORD>(DWORD_METADATA), record.dwMDDataType);
  EXPECT_EQ(static_cast<DWORD>(METADATA_INHERIT), record.dwMDAttributes);
  EXPECT_EQ(qarnutil::kMarkerUserType, record.dwMDUserType);
  EXPECT_EQ(1u, *reinterpret_cast<DWORD*>(record.pbMDData));

  ASSERT_EQ(S_OK, key.SetString(L"Root", MD_VR_PATH, L"D:\\web", IIS_MD_UT_FILE, 5));  // any non-zero flag
  record = RawRecord(L"LM/W3SVC/1/Root", MD_VR_PATH);
  EXPECT_EQ(static_cast<DWORD>(METADATA_INHERIT), record.dwMDAttributes);
}

TEST_F(MDKeyTest, KeysAreAddedAndDeletedWithTheMetabasesOwnAnswers) {
  Seed();
  CMDKey key;
  ASSERT_EQ(S_OK, key._Init(L"1"));
  EXPECT_EQ(S_OK, key.AddKey(L"Root/New/Deeper"));
  EXPECT_EQ(kAlreadyExists, key.AddKey(L"Root/New"));
  EXPECT_EQ(S_OK, key.DeleteKey(L"Root/New"));
  EXPECT_EQ(kPathNotFound, key.DeleteKey(L"Root/New"));

  METADATA_HANDLE site = 0;
  ASSERT_EQ(S_OK, key.OpenKey(METADATA_MASTER_ROOT_HANDLE, L"LM/W3SVC", METADATA_PERMISSION_READ, &site));
  wchar_t name[METADATA_MAX_NAME_LEN] = {};
  std::vector<std::wstring> names;
  HRESULT hr = S_OK;
  for (DWORD index = 0; SUCCEEDED(hr = key.EnumKeys(site, nullptr, name, index)); ++index) names.push_back(name);
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_NO_MORE_ITEMS), hr);
  EXPECT_EQ(std::vector<std::wstring>({L"1", L"Filters", L"Info"}), names);
  EXPECT_EQ(S_OK, key.CloseKey(site));
}

TEST_F(MDKeyTest, AnAccessorOpensAndClosesExactlyOneKeyUnlessGivenOne) {
  Seed();
  CMDKey key;
  ASSERT_EQ(S_OK, key._Init(L"1"));
  qwin::CRuntimeMemory<wchar_t> text;
  DWORD value = 0;
  auto [opened, closed] = OpenedAndClosed();
  ASSERT_EQ(S_OK, key.GetString(L"Root", MD_VR_PATH, IIS_MD_UT_FILE, text.Put()));
  ASSERT_EQ(S_OK, key.SetDWORD(L"Root", 6016, 1, IIS_MD_UT_FILE, TRUE));
  ASSERT_EQ(S_OK, key.GetDWORD(L"Root", 6016, IIS_MD_UT_FILE, &value));
  EXPECT_EQ(std::make_pair(opened + 3, closed + 3), OpenedAndClosed());

  METADATA_HANDLE site = 0;
  ASSERT_EQ(S_OK, key.OpenKey(METADATA_MASTER_ROOT_HANDLE, nullptr, METADATA_PERMISSION_READ | METADATA_PERMISSION_WRITE,
                              &site));
  std::tie(opened, closed) = OpenedAndClosed();
  ASSERT_EQ(S_OK, key.SetString(L"Root", MD_KEY_TYPE, L"IIsWebVirtualDir", IIS_MD_UT_SERVER, FALSE, site));
  ASSERT_EQ(S_OK, key.GetString(L"Root", MD_KEY_TYPE, IIS_MD_UT_SERVER, text.Put(), site));
  ASSERT_EQ(S_OK, key.AddKey(L"Root/A", site));
  ASSERT_EQ(S_OK, key.DeleteKey(L"Root/A", site));
  EXPECT_EQ(std::make_pair(opened, closed), OpenedAndClosed());
  EXPECT_EQ(S_OK, key.CloseKey(site));
  EXPECT_EQ(0u, Counter(metabase::kOpenHandlesId));
}

TEST_F(MDKeyTest, AFailedOpeningIsLoggedAndReturned) {
  Seed();
  CMDKey key;
  ASSERT_EQ(S_OK, key._Init(L"99"));
  qtest::CLogCapture log;
  EXPECT_EQ(kPathNotFound, key.SetDWORD(nullptr, 1, 1, 1, FALSE));
  EXPECT_EQ(std::vector<qtest::CRecord>(
                {{log4cplus::ERROR_LOG_LEVEL, "[m_piAdminBase->OpenKey] hr = 0x80070003 | -2147024893"}}),
            log.Records());
  EXPECT_EQ(0u, Counter(metabase::kOpenHandlesId));
}

}  // namespace
