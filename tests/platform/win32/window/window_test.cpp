// The real window: window and control settings, keys and focus, labels, the list view, and control
// operations from a worker thread.
#include <gtest/gtest.h>

#include <atomic>
#include <cwctype>
#include <thread>
#include <vector>

#include "app/program_texts.h"
#include "window_fixture.h"

namespace morvane {
namespace {

const char* NameOf(Control control) { return DefinitionOf(control).name; }

TEST_F(WindowTest, WindowHasItsFrameSizePlaceIconsAndBackground) {
  const HWND main = Main();
  const auto style = static_cast<DWORD>(GetWindowLongW(main, GWL_STYLE));
  const DWORD wanted = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN | WS_VISIBLE;
  EXPECT_EQ(style & wanted, wanted);
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_CHILD | WS_POPUP | WS_DISABLED), 0u);
  const auto extended = static_cast<DWORD>(GetWindowLongW(main, GWL_EXSTYLE));
  EXPECT_EQ(extended & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_LAYERED), 0u);
  EXPECT_EQ(GetParent(main), nullptr);
  EXPECT_EQ(GetWindow(main, GW_OWNER), nullptr);
  EXPECT_EQ(WindowText(main), L"Morvane");

  RECT outer;
  GetWindowRect(main, &outer);
  EXPECT_EQ(outer.right - outer.left, 262);
  EXPECT_EQ(outer.bottom - outer.top, 293);
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  EXPECT_EQ(outer.left, (screenWidth - 262) / 2);
  EXPECT_EQ(outer.top, (screenHeight - 293) / 2);
  if (screenWidth == 1920 && screenHeight == 1080) {
    EXPECT_EQ(outer.left, 829);
    EXPECT_EQ(outer.top, 393);
  }

  EXPECT_NE(SendMessageW(main, WM_GETICON, ICON_BIG, 0), 0);
  EXPECT_NE(SendMessageW(main, WM_GETICON, ICON_SMALL, 0), 0);
  EXPECT_EQ(GetClassLongPtrW(main, GCLP_HBRBACKGROUND), static_cast<ULONG_PTR>(COLOR_BTNFACE + 1));
  EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageW(main, WM_GETFONT, 0, 0)),
            GetStockObject(DEFAULT_GUI_FONT));

  // The manifest asks for version 6 of the common controls, which live side by side with version 5
  // (Wine's version 6 reports 5 from DllGetVersion, so the assembly's folder tells).
  wchar_t commonControls[MAX_PATH] = {};
  GetModuleFileNameW(GetModuleHandleW(L"comctl32.dll"), commonControls, MAX_PATH);
  std::wstring folder = commonControls;
  for (wchar_t& character : folder) character = towlower(character);
  EXPECT_NE(folder.find(L"microsoft.windows.common-controls_6595b64144ccf1df_6."), std::wstring::npos)
      << folder.c_str();
}

TEST_F(WindowTest, ControlsHaveTheirClassesStylesPlacesAndTexts) {
  struct KindSettings {
    ControlKind kind;
    const wchar_t* className;
    DWORD style;
    DWORD extendedStyle;
  };
  const KindSettings kinds[] = {
      {ControlKind::EditBox, L"Edit", WS_CHILD | WS_TABSTOP | WS_CLIPSIBLINGS | ES_AUTOHSCROLL,
       WS_EX_CLIENTEDGE},
      {ControlKind::PushButton, L"Button",
       WS_CHILD | WS_TABSTOP | WS_CLIPSIBLINGS | BS_PUSHBUTTON | BS_CENTER | BS_VCENTER | BS_MULTILINE, 0},
      {ControlKind::ListView, L"SysListView32",
       WS_CHILD | WS_TABSTOP | WS_CLIPSIBLINGS | LVS_REPORT | LVS_SINGLESEL | LVS_OWNERDATA,
       WS_EX_CLIENTEDGE},
      {ControlKind::Label, L"MorvaneLabel", WS_CHILD | WS_CLIPSIBLINGS, 0},
  };
  int windows = 0;
  for (const ControlDefinition& definition : kControlDefinitions) {
    SCOPED_TRACE(definition.name);
    const HWND control = Handle(definition.control);
    if (!HasWindow(definition.kind)) {
      EXPECT_EQ(control, nullptr);
      continue;
    }
    ++windows;
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(GetParent(control), Main());
    const KindSettings* settings = nullptr;
    for (const KindSettings& kind : kinds)
      if (kind.kind == definition.kind) settings = &kind;
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(_wcsicmp(ClassName(control).c_str(), settings->className), 0) << ClassName(control).c_str();
    const auto style = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
    // Scroll bars come and go with the content.
    EXPECT_EQ(style & ~(WS_VISIBLE | WS_DISABLED | WS_HSCROLL | WS_VSCROLL), settings->style)
        << std::hex << style;
    EXPECT_TRUE(style & WS_VISIBLE);
    EXPECT_FALSE(style & WS_DISABLED);
    const auto extended = static_cast<DWORD>(GetWindowLongW(control, GWL_EXSTYLE));
    EXPECT_EQ(extended & ~WS_EX_NOPARENTNOTIFY, settings->extendedStyle) << std::hex << extended;

    RECT place;
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, Main(), reinterpret_cast<POINT*>(&place), 2);
    EXPECT_EQ(place.left, definition.left);
    EXPECT_EQ(place.top, definition.top);
    EXPECT_EQ(place.right - place.left, definition.width);
    EXPECT_EQ(place.bottom - place.top, definition.height);
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)),
              GetStockObject(DEFAULT_GUI_FONT));
    if (definition.kind != ControlKind::ListView) {
      EXPECT_EQ(WindowText(control), Wide(definition.initialText));
      EXPECT_EQ(binding_->ReadControlText(definition.control), definition.initialText);
    }
  }
  EXPECT_EQ(windows, 14);
}

TEST_F(WindowTest, EditBoxesHaveNoLimitOfTheirOwnAndTheCaretAtTheStart) {
  for (const Control edit : {Control::编辑框1, Control::编辑框2, Control::编辑框3}) {
    SCOPED_TRACE(NameOf(edit));
    EXPECT_GE(SendMessageW(Handle(edit), EM_GETLIMITTEXT, 0, 0), 0x7FFFFFFE);
    DWORD start = 1, end = 1;
    SendMessageW(Handle(edit), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 0u);
  }
  EXPECT_EQ(window_->GetEditText(Control::编辑框1), "");
  window_->SetEditText(Control::编辑框3, "");
  EXPECT_EQ(window_->GetEditText(Control::编辑框3), "");
  EXPECT_EQ(WindowText(Handle(Control::编辑框3)), L"");
}

TEST_F(WindowTest, ListViewHasItsSettingsAndColumn) {
  const HWND list = Handle(Control::超级列表框1);
  EXPECT_EQ(SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0), 0x403);
  EXPECT_EQ(SendMessageW(list, LVM_GETTEXTCOLOR, 0, 0), RGB(0, 0, 0));
  EXPECT_EQ(SendMessageW(list, LVM_GETTEXTBKCOLOR, 0, 0), RGB(255, 255, 255));
  EXPECT_EQ(SendMessageW(list, LVM_GETBKCOLOR, 0, 0), RGB(255, 255, 255));
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 0);
  EXPECT_EQ(SendMessageW(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0), 0);
  wchar_t title[64] = {};
  LVCOLUMNW column{};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
  column.pszText = title;
  column.cchTextMax = 64;
  ASSERT_TRUE(SendMessageW(list, LVM_GETCOLUMNW, 0, reinterpret_cast<LPARAM>(&column)));
  EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT);
  EXPECT_EQ(column.cx, 150);
  EXPECT_EQ(std::wstring(title), L"\u6587\u4EF6\u540D(\u542B\u540E\u5E8F)");  // 文件名(含后序)
  EXPECT_FALSE(SendMessageW(list, LVM_GETCOLUMNW, 1, reinterpret_cast<LPARAM>(&column))) << "one column only";
}

TEST_F(WindowTest, ListViewGivesLongTextsBackWhole) {
  NameList& names = window_->Names();
  std::vector<Text> texts;
  for (const std::size_t length : {510u, 511u, 512u, 5000u}) texts.push_back(Text(length, 'n'));
  Text chinese;
  while (chinese.size() < 5000) chinese += "\xD4\xB4";  // 源, two bytes each
  texts.push_back(chinese);
  texts.push_back(" a b ");
  for (const Text& text : texts) names.SetItemText(names.AppendItem(), text);
  binding_->ProcessPendingMessages();  // the list view catches up when the loop runs
  const HWND list = Handle(Control::超级列表框1);
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), static_cast<LRESULT>(texts.size()));
  for (std::size_t i = 0; i < texts.size(); ++i) {
    SCOPED_TRACE(texts[i].size());
    EXPECT_EQ(binding_->ListViewItemText(static_cast<int32_t>(i)), texts[i]);
    EXPECT_EQ(names.GetItemText(static_cast<int32_t>(i)), texts[i]);
  }
  EXPECT_EQ(binding_->ListViewItemText(-1), "");
  EXPECT_EQ(binding_->ListViewItemText(static_cast<int32_t>(texts.size())), "");
  UpdateWindow(list);  // painting asks for the shown texts; it must not disturb them
  // Typing in the list selects nothing: no item is looked up by its text.
  SetFocus(list);
  PostMessageW(list, WM_CHAR, L'n', 1);
  binding_->ProcessPendingMessages();
  EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), -1);

  // 按钮3 empties the list; the column stays.
  SendMessageW(Handle(Control::按钮3), BM_CLICK, 0, 0);
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 0);
  EXPECT_EQ(names.Count(), 0);
  EXPECT_EQ(names.AppendItem(), 0);
  binding_->ProcessPendingMessages();
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 1);
}

TEST_F(WindowTest, FirstFocusIsTheFirstEditBoxAndTabCyclesBothWays) {
  Control focused;
  ASSERT_TRUE(binding_->ControlOf(GetFocus(), focused));
  EXPECT_EQ(focused, Control::编辑框1);

  const auto order = TabOrder();
  for (std::size_t step = 1; step <= order.size(); ++step) {
    PressKey(GetFocus(), VK_TAB);
    const Control expected = order[step % order.size()];
    SCOPED_TRACE(NameOf(expected));
    ASSERT_TRUE(binding_->ControlOf(GetFocus(), focused));
    EXPECT_EQ(focused, expected);
  }
  ShiftHeld shift;
  for (std::size_t step = 1; step <= order.size(); ++step) {
    PressKey(GetFocus(), VK_TAB);
    const Control expected = order[(order.size() - step % order.size()) % order.size()];
    SCOPED_TRACE(NameOf(expected));
    ASSERT_TRUE(binding_->ControlOf(GetFocus(), focused));
    EXPECT_EQ(focused, expected);
  }
}

TEST_F(WindowTest, TabSkipsDisabledControlsAndEnterDoesNothing) {
  EnableWindow(Handle(Control::按钮1), FALSE);
  PressKey(GetFocus(), VK_TAB);
  EXPECT_EQ(GetFocus(), Handle(Control::编辑框2));
  const Text before = window_->GetEditText(Control::编辑框2);
  PressKey(GetFocus(), VK_RETURN);
  EXPECT_EQ(GetFocus(), Handle(Control::编辑框2));
  EXPECT_EQ(window_->GetEditText(Control::编辑框2), before);
  EXPECT_NE(Main(), nullptr);
}

TEST_F(WindowTest, EscFromEveryFocusableControlClosesTheWindow) {
  for (const Control control : TabOrder()) {
    SCOPED_TRACE(NameOf(control));
    if (!Main()) {
      TearDown();
      SetUp();
    }
    SetFocus(Handle(control));
    PressKey(GetFocus(), VK_ESCAPE);
    EXPECT_EQ(Main(), nullptr) << "the window is destroyed at once";
    EXPECT_TRUE(window_->IsClosed());
    EXPECT_TRUE(DropQuit()) << "the loop is told to end";
  }
}

TEST_F(WindowTest, FocusComesBackToTheControlThatHadIt) {
  SetFocus(Handle(Control::按钮4));
  const HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 50, 50,
                                     nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(other, nullptr);
  SetActiveWindow(other);
  binding_->ProcessPendingMessages();
  EXPECT_NE(GetFocus(), Handle(Control::按钮4));
  SetActiveWindow(Main());
  binding_->ProcessPendingMessages();
  EXPECT_EQ(GetFocus(), Handle(Control::按钮4));
  DestroyWindow(other);
}

// Draws the label's client area as the label paints it.
std::vector<COLORREF> Rendering(HWND label, const std::function<void(HDC, RECT&)>& paint) {
  RECT client;
  GetClientRect(label, &client);
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  const HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
  const HGDIOBJ old = SelectObject(memory, bitmap);
  paint(memory, client);
  std::vector<COLORREF> pixels;
  for (int y = 0; y < client.bottom; ++y)
    for (int x = 0; x < client.right; ++x) pixels.push_back(GetPixel(memory, x, y));
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

std::vector<COLORREF> Expected(HWND label, const wchar_t* text, UINT flags) {
  return Rendering(label, [&](HDC dc, RECT& client) {
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    const HGDIOBJ font = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    DrawTextW(dc, text, -1, &client, flags);
    SelectObject(dc, font);
  });
}

TEST_F(WindowTest, LabelsDrawAmpersandsLiterallyAndCutLongCaptions) {
  const HWND label = Handle(Control::标签1);
  const UINT shown = DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
  struct Case {
    const char* caption;
    const wchar_t* drawn;
  };
  const Case cases[] = {{"a&b", L"a&b"}, {"&&x&", L"&&x&"}, {"33.33333333333%", L"33.33333333333%"}};
  for (const Case& row : cases) {
    SCOPED_TRACE(row.caption);
    window_->SetLabelCaption(Control::标签1, row.caption);
    EXPECT_EQ(WindowText(label), row.drawn);
    const auto painted = Rendering(label, [&](HDC dc, RECT&) {
      SendMessageW(label, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    });
    EXPECT_EQ(painted, Expected(label, row.drawn, shown));
    if (std::wstring(row.drawn).find(L'&') != std::wstring::npos) {
      EXPECT_NE(painted, Expected(label, row.drawn, shown & ~DT_NOPREFIX)) << "an ampersand would underline";
    }
  }
  // The label never keeps the focus.
  SetFocus(Handle(Control::按钮2));
  SetFocus(label);
  EXPECT_EQ(GetFocus(), Handle(Control::按钮2));
}

TEST_F(WindowTest, WorkerControlOperationsRunOnTheWindowThreadInOrder) {
  window_->Names().SetItemText(window_->Names().AppendItem(), "a.txt");
  std::atomic<bool> done{false};
  Text source, target, item;
  DWORD windowThread = GetCurrentThreadId();
  std::vector<DWORD> servedOn;
  std::thread worker([&] {
    source = window_->GetEditText(Control::编辑框2);
    window_->SetEditText(Control::编辑框3, "\xC4\xBF\xB1\xEA");  // 目标
    target = window_->GetEditText(Control::编辑框3);
    window_->SetLabelCaption(Control::标签1, "50%");
    item = window_->Names().GetItemText(0);
    done = true;
  });
  EXPECT_TRUE(PumpUntil([&] { return done.load(); }));
  worker.join();
  EXPECT_EQ(source, texts::kSourceFolderInitial);
  EXPECT_EQ(target, "\xC4\xBF\xB1\xEA");
  EXPECT_EQ(WindowText(Handle(Control::编辑框3)), L"\u76EE\u6807");
  EXPECT_EQ(WindowText(Handle(Control::标签1)), L"50%");
  EXPECT_EQ(item, "a.txt");
  EXPECT_EQ(windowThread, GetWindowThreadProcessId(Handle(Control::标签1), nullptr));

  // After the window is closed a worker's operations give nothing and do not wait.
  SendMessageW(Main(), WM_CLOSE, 0, 0);
  std::thread late([&] {
    source = window_->GetEditText(Control::编辑框2);
    window_->SetLabelCaption(Control::标签1, "1%");
  });
  late.join();
  EXPECT_EQ(source, "");
}

}  // namespace
}  // namespace morvane
