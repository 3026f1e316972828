// The program's own texts are the code-page-936 forms of their Chinese wording.
#include "app/program_texts.h"

#include <gtest/gtest.h>

#include "platform/codepage936.h"

namespace morvane {
namespace {

TEST(ProgramTextsTest, EachTextIsTheCodePage936FormOfItsWording) {
  const struct {
    const char* name;
    const char* text;
    const char* utf8;
  } cases[] = {
      {"kWindowCaption", texts::kWindowCaption, "Morvane"},
      {"kOpenWorkbookButton", texts::kOpenWorkbookButton, "打开表格："},
      {"kSourceFolderInitial", texts::kSourceFolderInitial, "指定文件所在目录"},
      {"kSourceFolderButton", texts::kSourceFolderButton, "选择文件目录："},
      {"kNameColumnTitle", texts::kNameColumnTitle, "文件名(含后序)"},
      {"kClearButton", texts::kClearButton, "清空内容"},
      {"kCopyButton", texts::kCopyButton, "复制文件"},
      {"kTargetFolderInitial", texts::kTargetFolderInitial, "需复制到的目录"},
      {"kTargetFolderButton", texts::kTargetFolderButton, "选择保存目录："},
      {"kProgressCaption", texts::kProgressCaption, "进度："},
      {"kHeading", texts::kHeading, "复制表格A列指定文件到指定目录"},
      {"kCreditShort", texts::kCreditShort, "Morvane"},
      {"kCreditLong", texts::kCreditLong, "表格名单复制工具"},
      {"kMessageCaption", texts::kMessageCaption, "信息："},
      {"kEmptyFolderMessage", texts::kEmptyFolderMessage, "源文件目录或保存目录不能为空"},
      {"kFailuresNotice", texts::kFailuresNotice, "存在复制失败文件，请到复制文件保存目录查看"},
      {"kUnloggedFailuresNotice", texts::kUnloggedFailuresNotice,
       "有文件复制失败，且无法在保存目录中写入复制失败文件.txt，请检查保存目录是否存在且可写"},
      {"kUnreadableWorkbookMessage", texts::kUnreadableWorkbookMessage,
       "无法读取表格文件，请确认它是有效的 .xls、.xlsx 或 .xlsm 工作簿"},
      {"kFailureLogSuffix", texts::kFailureLogSuffix, "\\复制失败文件.txt"},
      {"kSourceFolderPrompt", texts::kSourceFolderPrompt, "选择文件目录"},
      {"kTargetFolderPrompt", texts::kTargetFolderPrompt, "选择保存目录"},
      {"kWorkbookFilter", texts::kWorkbookFilter, "EXCEL文件|*.xls*"},
      {"kWorkbookDefaultExtension", texts::kWorkbookDefaultExtension, "E"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Utf8ToCodepage936Exactly(c.utf8), std::optional<Text>(c.text));
  }
}

}  // namespace
}  // namespace morvane
