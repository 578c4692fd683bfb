// COLEDBCommand against a scripted provider that fails one chosen call: the
// ERROR record of each step, the result, and every interface given back.
#include "OLEDBTestSupport.h"

namespace oledbtest {
namespace {

enum class FailAt { Nothing, Prepare, GetParameterInfo, Execute, GetColumnInfo, RowAccessor };

// One object plays session, command and rowset, with one I4 column and,
// when given a size, one text parameter whose value it notes at each run.
class CScriptedProvider : public IDBCreateCommand, public ICommandText, public ICommandPrepare,
                          public ICommandWithParameters, public IAccessor, public IRowset, public IColumnsInfo {
 public:
  explicit CScriptedProvider(FailAt failAt, DBLENGTH textParameterSize = 0)
      : m_failAt(failAt), m_textParameterSize(textParameterSize) {}
  LONG References() const { return m_references; }
  // The parameter's text at each Execute, read up to its terminator as a
  // provider does when no length is bound.
  const std::vector<std::string>& ExecutedTexts() const { return m_executedTexts; }

  STDMETHODIMP QueryInterface(REFIID iid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDBCreateCommand)) *ppv = static_cast<IDBCreateCommand*>(this);
    else if (IsEqualIID(iid, IID_ICommand) || IsEqualIID(iid, IID_ICommandText)) *ppv = static_cast<ICommandText*>(this);
    else if (IsEqualIID(iid, IID_ICommandPrepare)) *ppv = static_cast<ICommandPrepare*>(this);
    else if (IsEqualIID(iid, IID_ICommandWithParameters)) *ppv = static_cast<ICommandWithParameters*>(this);
    else if (IsEqualIID(iid, IID_IAccessor)) *ppv = static_cast<IAccessor*>(this);
    else if (IsEqualIID(iid, IID_IRowset)) *ppv = static_cast<IRowset*>(this);
    else if (IsEqualIID(iid, IID_IColumnsInfo)) *ppv = static_cast<IColumnsInfo*>(this);
    else return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++m_references); }
  STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--m_references); }

  STDMETHODIMP CreateCommand(IUnknown*, REFIID iid, IUnknown** command) override {
    return QueryInterface(iid, reinterpret_cast<void**>(command));
  }
  STDMETHODIMP Cancel() override { return S_OK; }
  STDMETHODIMP Execute(IUnknown*, REFIID iid, DBPARAMS* params, DBROWCOUNT*, IUnknown** rowset) override {
    if (params && params->pData) {
      m_executedTexts.emplace_back(static_cast<const char*>(params->pData) + m_parameterBinding.obValue);
    }
    return Fails(FailAt::Execute) ? E_FAIL : QueryInterface(iid, reinterpret_cast<void**>(rowset));
  }
  STDMETHODIMP GetDBSession(REFIID, IUnknown**) override { return E_NOTIMPL; }
  STDMETHODIMP GetCommandText(GUID*, LPOLESTR*) override { return E_NOTIMPL; }
  STDMETHODIMP SetCommandText(REFGUID, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP Prepare(ULONG) override { return Fails(FailAt::Prepare) ? E_FAIL : S_OK; }
  STDMETHODIMP Unprepare() override { return S_OK; }
  STDMETHODIMP GetParameterInfo(DB_UPARAMS* count, DBPARAMINFO** info, OLECHAR** names) override {
    *count = 0;
    *info = nullptr;
    *names = nullptr;
    if (Fails(FailAt::GetParameterInfo)) return E_FAIL;
    if (m_textParameterSize) {
      *info = static_cast<DBPARAMINFO*>(::CoTaskMemAlloc(sizeof(DBPARAMINFO)));
      memset(*info, 0, sizeof(DBPARAMINFO));
      (*info)->iOrdinal = 1;
      (*info)->wType = DBTYPE_STR;
      (*info)->ulParamSize = m_textParameterSize;
      *count = 1;
    }
    return S_OK;
  }
  STDMETHODIMP MapParameterNames(DB_UPARAMS, LPCWSTR[], DB_LPARAMS[]) override { return E_NOTIMPL; }
  STDMETHODIMP SetParameterInfo(DB_UPARAMS, const DB_UPARAMS[], const DBPARAMBINDINFO[]) override { return E_NOTIMPL; }
  STDMETHODIMP AddRefAccessor(HACCESSOR, DBREFCOUNT*) override { return S_OK; }
  STDMETHODIMP CreateAccessor(DBACCESSORFLAGS flags, DBCOUNTITEM count, const DBBINDING bindings[], DBLENGTH,
                              HACCESSOR* handle, DBBINDSTATUS[]) override {
    if ((flags & DBACCESSOR_PARAMETERDATA) && count) m_parameterBinding = bindings[0];
    *handle = 1;
    return Fails(FailAt::RowAccessor) ? DB_E_ERRORSOCCURRED : S_OK;
  }
  STDMETHODIMP GetBindings(HACCESSOR, DBACCESSORFLAGS*, DBCOUNTITEM*, DBBINDING**) override { return E_NOTIMPL; }
  STDMETHODIMP ReleaseAccessor(HACCESSOR, DBREFCOUNT*) override { return S_OK; }
  STDMETHODIMP AddRefRows(DBCOUNTITEM, const HROW[], DBREFCOUNT[], DBROWSTATUS[]) override { return S_OK; }
  STDMETHODIMP GetData(HROW, HACCESSOR, void*) override { return S_OK; }
  STDMETHODIMP GetNextRows(HCHAPTER, DBROWOFFSET, DBROWCOUNT, DBCOUNTITEM* obtained, HROW**) override {
    *obtained = 0;
    return DB_S_ENDOFROWSET;
  }
  STDMETHODIMP ReleaseRows(DBCOUNTITEM, const HROW[], DBROWOPTIONS[], DBREFCOUNT[], DBROWSTATUS[]) override {
    return S_OK;
  }
  STDMETHODIMP RestartPosition(HCHAPTER) override { return S_OK; }
  STDMETHODIMP GetColumnInfo(DBORDINAL* count, DBCOLUMNINFO** info, OLECHAR** names) override {
    *count = 0;
    *info = nullptr;
    *names = nullptr;
    if (Fails(FailAt::GetColumnInfo)) return E_FAIL;
    *info = static_cast<DBCOLUMNINFO*>(::CoTaskMemAlloc(sizeof(DBCOLUMNINFO)));
    memset(*info, 0, sizeof(DBCOLUMNINFO));
    (*info)->iOrdinal = 1;
    (*info)->wType = DBTYPE_I4;
    (*info)->ulColumnSize = 4;
    *count = 1;
    return S_OK;
  }
  STDMETHODIMP MapColumnIDs(DBORDINAL, const DBID[], DBORDINAL[]) override { return E_NOTIMPL; }

 private:
  bool Fails(FailAt step) const { return m_failAt == step; }

  FailAt m_failAt;
  DBLENGTH m_textParameterSize;
  DBBINDING m_parameterBinding = {};
  std::vector<std::string> m_executedTexts;
  LONG m_references = 1;
};

struct CFailureCase {
  FailAt failAt;
  bool failsInCreate;
  const char* record;
};

class CWrapperFailureTest : public ::testing::TestWithParam<CFailureCase> {};

TEST_P(CWrapperFailureTest, LogsTheFailingCallAndReleasesEverything) {
  const CFailureCase& failure = GetParam();
  CScriptedProvider provider(failure.failAt);
  CLogCapture log;
  {
    COLEDBCommand command;
    HRESULT hr = command.Create(static_cast<IDBCreateCommand*>(&provider), "SELECT 1");
    if (!failure.failsInCreate) {
      ASSERT_EQ(S_OK, hr);
      hr = command.Open(nullptr);
    }
    EXPECT_TRUE(FAILED(hr));
    long value = 0;
    EXPECT_FALSE(command.GetColumnLong(0, &value));
    EXPECT_EQ(0u, command.m_ulColumns);
  }
  EXPECT_TRUE(log.Contains(40000, failure.record)) << failure.record;
  EXPECT_EQ(1, provider.References());
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, CWrapperFailureTest,
    ::testing::Values(
        CFailureCase{FailAt::Prepare, true, "[Prepare(1)] hr = 0x80004005 | -2147467259"},
        CFailureCase{FailAt::GetParameterInfo, true,
                     "[GetParameterInfo(&m_ulParams, &pParamInfo, &pParamNames)] hr = 0x80004005 | -2147467259"},
        CFailureCase{FailAt::Execute, false,
                     "[CCommand<CManualAccessor, CRowset>::Open(NULL, pRowsAffected, FALSE)] hr = 0x80004005 | "
                     "-2147467259"},
        CFailureCase{FailAt::GetColumnInfo, false,
                     "[CAccessorRowset<CManualAccessor, CRowset>::GetColumnInfo(&m_ulColumns, &pColumnInfo, "
                     "&pStrings)] hr = 0x80004005 | -2147467259"},
        CFailureCase{FailAt::RowAccessor, false, "[Bind()] hr = 0x80040e21 | -2147217887"}));

TEST(WrapperLifetimeTest, AnOpenRowsetIsGivenBackOnDestruction) {
  CScriptedProvider provider(FailAt::Nothing);
  {
    COLEDBCommand command;
    ASSERT_EQ(S_OK, command.Create(static_cast<IDBCreateCommand*>(&provider), "SELECT 1"));
    ASSERT_EQ(S_OK, command.Open(nullptr));
    EXPECT_EQ(1u, command.m_ulColumns);
    EXPECT_EQ(DB_S_ENDOFROWSET, command.MoveFirst());
  }
  EXPECT_EQ(1, provider.References());
}

TEST(WrapperParameterTest, EachRunSendsOnlyTheLatestTerminatedText) {
  CScriptedProvider provider(FailAt::Nothing, 8);
  COLEDBCommand command;
  ASSERT_EQ(S_OK, command.Create(static_cast<IDBCreateCommand*>(&provider), "SELECT ?"));
  command.AddParameter(0, DBTYPE_STR, 13, "Administrator", DBSTATUS_S_OK, DBPARAMIO_INPUT);
  ASSERT_EQ(S_OK, command.Open(nullptr));
  command.AddParameter(0, DBTYPE_STR, 3, "bob", DBSTATUS_S_OK, DBPARAMIO_INPUT);
  ASSERT_EQ(S_OK, command.Open(nullptr));
  EXPECT_EQ(std::vector<std::string>({"Administ", "bob"}), provider.ExecutedTexts());
}

}  // namespace
}  // namespace oledbtest
