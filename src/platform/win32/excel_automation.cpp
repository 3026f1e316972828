// Spreadsheet automation: every operation is a late-bound IDispatch call that swallows the
// server's errors and keeps the earlier state.
#include "platform/win32/excel_automation.h"

// clang-format off
#include <windows.h>
#include <oleauto.h>
// clang-format on

#include <string>
#include <utility>
#include <vector>

#include "platform/win32/wide_text.h"

namespace morvane {
namespace {

// An owned IDispatch reference.
class DispatchReference {
 public:
  DispatchReference() = default;
  explicit DispatchReference(IDispatch* adopted) : pointer_(adopted) {}
  DispatchReference(const DispatchReference& other) : pointer_(other.pointer_) {
    if (pointer_) pointer_->AddRef();
  }
  DispatchReference& operator=(DispatchReference other) {
    std::swap(pointer_, other.pointer_);
    return *this;
  }
  ~DispatchReference() { Reset(); }
  void Reset() {
    if (pointer_) pointer_->Release();
    pointer_ = nullptr;
  }
  IDispatch* get() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }

 private:
  IDispatch* pointer_ = nullptr;
};

class DispatchObject : public SpreadsheetObject {
 public:
  explicit DispatchObject(DispatchReference reference) : reference_(std::move(reference)) {}
  IDispatch* get() const { return reference_.get(); }

 private:
  DispatchReference reference_;
};

class Variant {
 public:
  Variant() { VariantInit(&value_); }
  ~Variant() { VariantClear(&value_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  VARIANT* get() { return &value_; }
  VARIANT& operator*() { return value_; }

 private:
  VARIANT value_;
};

// Arguments in their natural order; each owns what it holds.
class Arguments {
 public:
  Arguments() = default;
  Arguments(const Arguments&) = delete;
  Arguments& operator=(const Arguments&) = delete;
  ~Arguments() {
    for (VARIANT& value : values_) VariantClear(&value);
  }
  Arguments& Text(const morvane::Text& text) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    const std::wstring wide = WideFromText(text);
    value.bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    values_.push_back(value);
    return *this;
  }
  Arguments& Integer(int32_t number) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_I4;
    value.lVal = number;
    values_.push_back(value);
    return *this;
  }
  Arguments& Boolean(bool flag) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BOOL;
    value.boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
    values_.push_back(value);
    return *this;
  }
  Arguments& Missing(int count = 1) {
    for (int i = 0; i < count; ++i) {
      VARIANT value;
      VariantInit(&value);
      value.vt = VT_ERROR;
      value.scode = DISP_E_PARAMNOTFOUND;
      values_.push_back(value);
    }
    return *this;
  }
  // IDispatch takes them last first.
  std::vector<VARIANT> Reversed() const { return {values_.rbegin(), values_.rend()}; }

 private:
  std::vector<VARIANT> values_;
};

// One call by member name. Any failure, the server's exceptions included, gives false.
bool Call(IDispatch* object, const wchar_t* member, WORD kind, const Arguments& arguments, VARIANT* result) {
  if (!object) return false;
  try {
    DISPID id = DISPID_UNKNOWN;
    auto* name = const_cast<LPOLESTR>(member);
    if (FAILED(object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id))) return false;
    std::vector<VARIANT> values = arguments.Reversed();
    DISPPARAMS parameters{};
    parameters.cArgs = static_cast<UINT>(values.size());
    parameters.rgvarg = values.empty() ? nullptr : values.data();
    DISPID named = DISPID_PROPERTYPUT;
    if (kind == DISPATCH_PROPERTYPUT) {
      parameters.cNamedArgs = 1;
      parameters.rgdispidNamedArgs = &named;
    }
    EXCEPINFO exception{};
    UINT badArgument = 0;
    const HRESULT outcome = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &parameters, result,
                                           &exception, &badArgument);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    if (FAILED(outcome) && result) VariantClear(result);
    return SUCCEEDED(outcome);
  } catch (...) {
    return false;
  }
}

// A property or method that gives an object; empty on failure or when it gives no object.
DispatchReference GetObjectMember(IDispatch* object, const wchar_t* member, WORD kind,
                                  const Arguments& arguments) {
  Variant result;
  if (!Call(object, member, kind, arguments, result.get())) return {};
  VARIANT& value = *result;
  if (value.vt != VT_DISPATCH || !value.pdispVal) return {};
  value.pdispVal->AddRef();
  return DispatchReference(value.pdispVal);
}

DispatchReference GetProperty(IDispatch* object, const wchar_t* member) {
  return GetObjectMember(object, member, DISPATCH_PROPERTYGET, Arguments());
}

// Item is the collections' default member; it is both a method and a property.
constexpr WORD kMethodOrProperty = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

IDispatch* DispatchOf(const ObjectReference& reference) {
  const auto* object = dynamic_cast<const DispatchObject*>(reference.get());
  return object ? object->get() : nullptr;
}

class DispatchSpreadsheet : public SpreadsheetOperations {
 public:
  explicit DispatchSpreadsheet(AutomationApplicationFactory factory) : factory_(std::move(factory)) {}
  ~DispatchSpreadsheet() override { ReleaseApplication(); }

  bool CreateApplication() override {
    if (application_) return true;
    try {
      application_ = DispatchReference(factory_ ? factory_() : nullptr);
    } catch (...) {
      application_.Reset();
    }
    return static_cast<bool>(application_);
  }

  void SetApplicationVisible(bool visible) override {
    Arguments arguments;
    arguments.Boolean(visible);
    Call(application_.get(), L"Visible", DISPATCH_PROPERTYPUT, arguments, nullptr);
  }

  void AttachWorkbook() override {
    if (!application_) return;
    ReleaseWorkbookReferences();
    workbooks_ = GetProperty(application_.get(), L"Workbooks");
    Arguments noTemplate;
    noTemplate.Missing();
    Variant dropped;
    Call(workbooks_.get(), L"Add", DISPATCH_METHOD, noTemplate, dropped.get());
    sheets_ = GetProperty(application_.get(), L"Sheets");
    Arguments first;
    first.Integer(1);
    sheet_ = GetObjectMember(sheets_.get(), L"Item", kMethodOrProperty, first);
  }

  bool OpenWorkbook(const Text& path) override {
    Arguments arguments;
    arguments.Text(path).Missing(12);
    DispatchReference opened = GetObjectMember(workbooks_.get(), L"Open", DISPATCH_METHOD, arguments);
    if (!opened) return false;
    DispatchReference sheets = GetProperty(opened.get(), L"Sheets");
    Arguments first;
    first.Integer(1);
    DispatchReference sheet = GetObjectMember(sheets.get(), L"Item", kMethodOrProperty, first);
    workbook_ = opened;
    if (sheets) sheets_ = sheets;
    if (sheet) sheet_ = sheet;
    return true;
  }

  void ActivateWorkbook() override {
    Call(workbook_.get(), L"Activate", DISPATCH_METHOD, Arguments(), nullptr);
  }
  void ActivateSheet() override { Call(sheet_.get(), L"Activate", DISPATCH_METHOD, Arguments(), nullptr); }

  void SelectSheet(int32_t index) override {
    Arguments arguments;
    arguments.Integer(index);
    if (DispatchReference sheet = GetObjectMember(sheets_.get(), L"Item", kMethodOrProperty, arguments))
      sheet_ = sheet;
  }

  ObjectReference GetSheet() override { return Wrap(sheet_); }
  ObjectReference GetRange() override { return Wrap(range_); }

  void SetRangeStart(const Text& cell) override { rangeStart_ = cell; }

  void SetRangeEnd(const Text& cell) override {
    if (!sheet_) return;
    rangeEnd_ = cell;
    Arguments arguments;
    arguments.Text(rangeStart_).Text(rangeEnd_);
    if (DispatchReference range = GetObjectMember(sheet_.get(), L"Range", DISPATCH_PROPERTYGET, arguments))
      range_ = range;
  }

  ObjectReference ReadObject(const ObjectReference& object, std::string_view name) override {
    return Wrap(GetProperty(DispatchOf(object), WideFromText(name).c_str()));
  }

  double ReadNumber(const ObjectReference& object, std::string_view name) override {
    Variant value;
    if (!Call(DispatchOf(object), WideFromText(name).c_str(), DISPATCH_PROPERTYGET, Arguments(), value.get()))
      return 0.0;
    if (FAILED(VariantChangeType(value.get(), value.get(), 0, VT_R8))) return 0.0;
    return (*value).dblVal;
  }

  Text ReadText(const ObjectReference& object, std::string_view name) override {
    Variant value;
    if (!Call(DispatchOf(object), WideFromText(name).c_str(), DISPATCH_PROPERTYGET, Arguments(), value.get()))
      return {};
    if (FAILED(VariantChangeType(value.get(), value.get(), 0, VT_BSTR)) || !(*value).bstrVal) return {};
    return TextFromWide(std::wstring_view((*value).bstrVal, SysStringLen((*value).bstrVal)));
  }

  void CloseWorkbooks() override { Call(workbooks_.get(), L"Close", DISPATCH_METHOD, Arguments(), nullptr); }

  void DetachWorkbook() override {
    ReleaseWorkbookReferences();
    rangeStart_.clear();
    rangeEnd_.clear();
  }

  void QuitApplication() override {
    Call(application_.get(), L"Quit", DISPATCH_METHOD, Arguments(), nullptr);
  }

  void ReleaseApplication() override {
    ReleaseWorkbookReferences();
    application_.Reset();
  }

 private:
  static ObjectReference Wrap(const DispatchReference& reference) {
    if (!reference) return nullptr;
    return std::make_shared<DispatchObject>(reference);
  }

  void ReleaseWorkbookReferences() {
    range_.Reset();
    sheet_.Reset();
    sheets_.Reset();
    workbook_.Reset();
    workbooks_.Reset();
  }

  AutomationApplicationFactory factory_;
  DispatchReference application_;
  DispatchReference workbooks_;
  DispatchReference workbook_;
  DispatchReference sheets_;
  DispatchReference sheet_;
  DispatchReference range_;
  Text rangeStart_;
  Text rangeEnd_;
};

}  // namespace

std::unique_ptr<SpreadsheetOperations> CreateDispatchSpreadsheet(AutomationApplicationFactory factory) {
  return std::make_unique<DispatchSpreadsheet>(std::move(factory));
}

std::unique_ptr<SpreadsheetOperations> CreateExcelAutomation() {
  CLSID classId{};
  if (FAILED(CLSIDFromProgID(L"Excel.Application", &classId))) return nullptr;
  IDispatch* application = nullptr;
  if (FAILED(CoCreateInstance(classId, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(&application))) ||
      !application)
    return nullptr;
  // The object already made is handed over on the load's CreateApplication.
  auto created = std::make_shared<DispatchReference>(application);
  return CreateDispatchSpreadsheet([created]() -> IDispatch* {
    IDispatch* object = created->get();
    if (!object) return nullptr;
    object->AddRef();
    created->Reset();
    return object;
  });
}

}  // namespace morvane
