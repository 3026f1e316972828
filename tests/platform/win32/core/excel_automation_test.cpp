// Spreadsheet automation against an automation object of the test's own: the calls of a load in
// order, their arguments, errors swallowed at every step, every reference released.
#include "platform/win32/excel_automation.h"

// clang-format off
#include <windows.h>
#include <oleauto.h>
// clang-format on

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "services/texts.h"

namespace morvane {
namespace {

// Every member any object answers; GetIDsOfNames knows these names only.
const std::vector<std::wstring> kMembers = {L"Workbooks", L"Add",       L"Open",  L"Close", L"Sheets",
                                            L"Item",      L"Activate",  L"Range", L"Value", L"Quit",
                                            L"Visible",   L"UsedRange", L"Rows",  L"Count"};

std::wstring Describe(const VARIANT& value) {
  switch (value.vt) {
    case VT_BSTR:
      return std::wstring(L"\"").append(value.bstrVal, SysStringLen(value.bstrVal)).append(L"\"");
    case VT_I4:
      return std::to_wstring(value.lVal);
    case VT_BOOL:
      return value.boolVal ? L"true" : L"false";
    case VT_ERROR:
      return value.scode == DISP_E_PARAMNOTFOUND ? L"missing" : L"error";
    default:
      return L"vt" + std::to_wstring(value.vt);
  }
}

struct FakeServer;

// One object of the fake application: answers by its kind, records every call, counts references.
class FakeObject final : public IDispatch {
 public:
  FakeObject(FakeServer& server, std::wstring kind);
  ~FakeObject();

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
    if (id == IID_IUnknown || id == IID_IDispatch) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (count != 1) return E_INVALIDARG;
    for (std::size_t i = 0; i < kMembers.size(); ++i) {
      if (_wcsicmp(kMembers[i].c_str(), names[0]) == 0) {
        ids[0] = static_cast<DISPID>(i + 1);
        return S_OK;
      }
    }
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD kind, DISPPARAMS* parameters,
                                   VARIANT* result, EXCEPINFO* exception, UINT*) override;

 private:
  HRESULT Answer(const std::wstring& member, const std::vector<std::wstring>& arguments, VARIANT* result);
  HRESULT GiveObject(const std::wstring& kind, VARIANT* result);

  FakeServer& server_;
  std::wstring kind_;
  ULONG references_ = 1;
};

struct FakeServer {
  std::vector<std::wstring> calls;        // "Kind.Member(arguments)"
  std::set<std::wstring> failing;         // "Kind.Member" that raise an exception
  std::map<std::wstring, VARIANT> cells;  // "A1" → value
  double rowCount = 3;
  int liveObjects = 0;

  ~FakeServer() {
    for (auto& [address, value] : cells) VariantClear(&value);
  }
  void SetText(const std::wstring& address, const wchar_t* text) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(text);
    cells[address] = value;
  }
  void SetNumber(const std::wstring& address, double number) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_R8;
    value.dblVal = number;
    cells[address] = value;
  }
};

FakeObject::FakeObject(FakeServer& server, std::wstring kind) : server_(server), kind_(std::move(kind)) {
  ++server_.liveObjects;
}
FakeObject::~FakeObject() { --server_.liveObjects; }

HRESULT FakeObject::Invoke(DISPID id, REFIID, LCID, WORD kind, DISPPARAMS* parameters, VARIANT* result,
                           EXCEPINFO* exception, UINT*) {
  if (id < 1 || static_cast<std::size_t>(id) > kMembers.size()) return DISP_E_MEMBERNOTFOUND;
  const std::wstring& member = kMembers[static_cast<std::size_t>(id) - 1];
  std::vector<std::wstring> arguments;
  for (UINT i = parameters->cArgs; i > 0; --i) arguments.push_back(Describe(parameters->rgvarg[i - 1]));
  std::wstring call = kind_;
  call.append(L".").append(member).append(kind == DISPATCH_PROPERTYPUT ? L"=" : L"(");
  for (std::size_t i = 0; i < arguments.size(); ++i) call.append(i ? L"," : L"").append(arguments[i]);
  if (kind != DISPATCH_PROPERTYPUT) call.append(L")");
  server_.calls.push_back(call);
  if (kind == DISPATCH_PROPERTYPUT && parameters->cNamedArgs != 1) return DISP_E_PARAMNOTOPTIONAL;
  if (server_.failing.count(std::wstring(kind_).append(L".").append(member))) {
    if (exception) {
      exception->bstrSource = SysAllocString(L"Fake");
      exception->bstrDescription = SysAllocString(L"refused");
    }
    return DISP_E_EXCEPTION;
  }
  return Answer(member, arguments, result);
}

HRESULT FakeObject::GiveObject(const std::wstring& kind, VARIANT* result) {
  if (!result) return S_OK;
  result->vt = VT_DISPATCH;
  result->pdispVal = new FakeObject(server_, kind);
  return S_OK;
}

HRESULT FakeObject::Answer(const std::wstring& member, const std::vector<std::wstring>& arguments,
                           VARIANT* result) {
  if (member == L"Workbooks") return GiveObject(L"Workbooks", result);
  if (member == L"Add") return GiveObject(L"NewWorkbook", result);
  if (member == L"Open") return GiveObject(L"Workbook", result);
  if (member == L"Sheets") return GiveObject(kind_ == L"Workbook" ? L"OpenedSheets" : L"Sheets", result);
  if (member == L"Item") {
    if (arguments.size() != 1 || arguments[0] == L"0") return DISP_E_BADINDEX;
    return GiveObject(kind_ == L"OpenedSheets" ? L"OpenedSheet" : L"Sheet", result);
  }
  if (member == L"UsedRange") return GiveObject(L"UsedRange", result);
  if (member == L"Rows") return GiveObject(L"Rows", result);
  if (member == L"Range") {
    std::wstring range = L"Range";
    if (!arguments.empty()) range.append(arguments[0]);
    return GiveObject(range, result);
  }
  if (member == L"Count" && result) {
    result->vt = VT_R8;
    result->dblVal = server_.rowCount;
    return S_OK;
  }
  if (member == L"Value" && result) {
    // "Range"A1"" → A1
    const std::wstring address = kind_.size() > 7 ? kind_.substr(6, kind_.size() - 7) : L"";
    const auto found = server_.cells.find(address);
    if (found == server_.cells.end()) return S_OK;  // an empty cell: VT_EMPTY
    return VariantCopy(result, &found->second);
  }
  return S_OK;
}

// The load's sequence of operations, as the workbook load drives them.
std::vector<Text> RunLoad(SpreadsheetOperations& operations, const Text& path) {
  std::vector<Text> texts;
  operations.CreateApplication();
  operations.SetApplicationVisible(false);
  operations.AttachWorkbook();
  operations.OpenWorkbook(path);
  operations.ActivateWorkbook();
  operations.ActivateSheet();
  operations.SelectSheet(0);
  {
    const ObjectReference sheet = operations.GetSheet();
    const ObjectReference usedRange = operations.ReadObject(sheet, "UsedRange");
    const ObjectReference rows = operations.ReadObject(usedRange, "Rows");
    const auto count = static_cast<int32_t>(operations.ReadNumber(rows, "Count"));
    ObjectReference cell;
    for (int32_t row = 1; row <= count; ++row) {
      const Text address = JoinTexts({"A", std::to_string(row)});
      operations.SetRangeStart(address);
      operations.SetRangeEnd(address);
      cell = operations.GetRange();
      texts.push_back(operations.ReadText(cell, "Value"));
    }
  }
  operations.CloseWorkbooks();
  operations.DetachWorkbook();
  operations.QuitApplication();
  operations.ReleaseApplication();
  return texts;
}

class ExcelAutomationTest : public testing::Test {
 protected:
  void SetUp() override {
    server_.SetText(L"A1", L"a.txt");
    server_.SetText(L"A2", L"\u6E90.txt");  // 源.txt
    server_.SetNumber(L"A3", 12);
  }
  std::unique_ptr<SpreadsheetOperations> Operations() {
    return CreateDispatchSpreadsheet(
        [this]() -> IDispatch* { return new FakeObject(server_, L"Application"); });
  }
  FakeServer server_;
};

TEST_F(ExcelAutomationTest, LoadCallsTheMembersInOrderWithTheirArguments) {
  std::vector<Text> texts;
  {
    auto operations = Operations();
    texts = RunLoad(*operations, "C:\\\xB1\xED.xls");  // C:\表.xls
  }
  EXPECT_EQ(texts, (std::vector<Text>{"a.txt", "\xD4\xB4.txt", "12"}));
  const std::vector<std::wstring> expected = {
      L"Application.Visible=false",
      L"Application.Workbooks()",
      L"Workbooks.Add(missing)",
      L"Application.Sheets()",
      L"Sheets.Item(1)",
      L"Workbooks.Open(\"C:\\\u8868.xls\",missing,missing,missing,missing,missing,missing,missing,missing,"
      L"missing,"
      L"missing,missing,missing)",
      L"Workbook.Sheets()",
      L"OpenedSheets.Item(1)",
      L"Workbook.Activate()",
      L"OpenedSheet.Activate()",
      L"OpenedSheets.Item(0)",
      L"OpenedSheet.UsedRange()",
      L"UsedRange.Rows()",
      L"Rows.Count()",
      L"OpenedSheet.Range(\"A1\",\"A1\")",
      L"Range\"A1\".Value()",
      L"OpenedSheet.Range(\"A2\",\"A2\")",
      L"Range\"A2\".Value()",
      L"OpenedSheet.Range(\"A3\",\"A3\")",
      L"Range\"A3\".Value()",
      L"Workbooks.Close()",
      L"Application.Quit()",
  };
  EXPECT_EQ(server_.calls, expected);
  EXPECT_EQ(server_.liveObjects, 0) << "every reference released";
}

TEST_F(ExcelAutomationTest, EveryFailingStepIsSwallowedAndReleasesEverything) {
  struct Case {
    const wchar_t* failing;
    std::vector<Text> texts;  // what the load then reads
  };
  // A failed open leaves the new workbook's sheet current, and the load reads it like any other
  // (this server answers every sheet with the same cells).
  const Case cases[] = {
      {L"Application.Visible", {"a.txt", "\xD4\xB4.txt", "12"}},
      {L"Application.Workbooks", {"a.txt", "\xD4\xB4.txt", "12"}},
      {L"Workbooks.Add", {"a.txt", "\xD4\xB4.txt", "12"}},
      {L"Application.Sheets", {"a.txt", "\xD4\xB4.txt", "12"}},
      {L"Workbooks.Open", {"a.txt", "\xD4\xB4.txt", "12"}},
      {L"Workbook.Sheets", {"a.txt", "\xD4\xB4.txt", "12"}},
      {L"OpenedSheets.Item", {"a.txt", "\xD4\xB4.txt", "12"}},
      {L"Workbook.Activate", {"a.txt", "\xD4\xB4.txt", "12"}},
      {L"OpenedSheet.Activate", {"a.txt", "\xD4\xB4.txt", "12"}},
      {L"OpenedSheet.UsedRange", {}},
      {L"UsedRange.Rows", {}},
      {L"Rows.Count", {}},
      {L"OpenedSheet.Range", {"", "", ""}},
      {L"Range\"A2\".Value", {"a.txt", "", "12"}},
      {L"Workbooks.Close", {"a.txt", "\xD4\xB4.txt", "12"}},
      {L"Application.Quit", {"a.txt", "\xD4\xB4.txt", "12"}},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(std::string(row.failing, row.failing + wcslen(row.failing)));
    server_.calls.clear();
    server_.failing = {row.failing};
    std::vector<Text> texts;
    {
      auto operations = Operations();
      texts = RunLoad(*operations, "book.xlsb");
    }
    EXPECT_EQ(texts, row.texts);
    EXPECT_EQ(server_.liveObjects, 0) << "every reference released";
  }
}

TEST_F(ExcelAutomationTest, WithoutAnApplicationEveryOperationDoesNothing) {
  auto operations = CreateDispatchSpreadsheet([]() -> IDispatch* { return nullptr; });
  EXPECT_TRUE(RunLoad(*operations, "book.xls").empty());
  EXPECT_EQ(operations->GetSheet(), nullptr);
  EXPECT_EQ(operations->ReadNumber(nullptr, "Count"), 0.0);
  EXPECT_EQ(operations->ReadText(nullptr, "Value"), "");
  EXPECT_EQ(operations->ReadObject(nullptr, "UsedRange"), nullptr);
}

TEST_F(ExcelAutomationTest, RangeNeedsACurrentSheetAndIndexZeroNamesNone) {
  auto operations = Operations();
  ASSERT_TRUE(operations->CreateApplication());
  operations->SetRangeStart("A1");
  operations->SetRangeEnd("A1");
  EXPECT_EQ(operations->GetRange(), nullptr) << "no sheet yet";
  operations->AttachWorkbook();
  ASSERT_NE(operations->GetSheet(), nullptr);
  operations->SelectSheet(0);
  operations->SetRangeEnd("A1");
  EXPECT_EQ(server_.calls.back(), L"Sheet.Range(\"A1\",\"A1\")") << "index 0 keeps the current sheet";
  const ObjectReference range = operations->GetRange();
  ASSERT_NE(range, nullptr);
  EXPECT_EQ(operations->ReadText(range, "Value"), "a.txt");
  EXPECT_EQ(operations->ReadText(range, "NoSuchMember"), "");
}

TEST_F(ExcelAutomationTest, NoServerMeansNoOperations) {
  // Wine has no spreadsheet application registered.
  EXPECT_EQ(CreateExcelAutomation(), nullptr);
}

}  // namespace
}  // namespace morvane
