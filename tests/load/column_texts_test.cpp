// ColumnTexts: rows in any order, rows set again and cuts read as a plain vector of texts would.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "load/workbook.h"

namespace morvane {
namespace {

struct Step {
  bool cut;  // Truncate(index) rather than Set(index, text)
  std::size_t index;
  Text text;
};
Step Set(std::size_t index, Text text) { return {false, index, std::move(text)}; }
Step Cut(std::size_t rows) { return {true, rows, {}}; }

ColumnTexts Apply(const std::vector<Step>& steps) {
  ColumnTexts texts;
  for (const Step& step : steps) {
    if (step.cut)
      texts.Truncate(step.index);
    else
      texts.Set(step.index, step.text);
  }
  return texts;
}

TEST(ColumnTexts, ReadsAsTheRowsLastSet) {
  const Text withNul("a\0b", 3);
  const struct {
    const char* what;
    std::vector<Step> steps;
    std::vector<Text> rows;
  } cases[] = {
      {"rows in order", {Set(0, "a"), Set(1, "bc"), Set(2, "d")}, {"a", "bc", "d"}},
      {"gaps read empty", {Set(2, "c"), Set(5, "f")}, {"", "", "c", "", "", "f"}},
      {"the last row again, then the next",
       {Set(0, "a"), Set(1, "long text"), Set(1, "B"), Set(2, "c")},
       {"a", "B", "c"}},
      {"an earlier row again, twice",
       {Set(0, "a"), Set(1, "b"), Set(2, "c"), Set(0, "A"), Set(0, "AA")},
       {"AA", "b", "c"}},
      {"rows out of order",
       {Set(3, "d"), Set(1, "b"), Set(0, "a"), Set(4, "e"), Set(2, "c")},
       {"a", "b", "c", "d", "e"}},
      {"a gap filled later", {Set(0, "a"), Set(3, "d"), Set(1, "b")}, {"a", "b", "", "d"}},
      {"cut past the used range, then rows after the cut",
       {Set(0, "a"), Set(1, "b"), Set(4, "e"), Cut(2), Set(3, "d")},
       {"a", "b", "", "d"}},
      {"a cut drops rows kept aside",
       {Set(0, "a"), Set(1, "b"), Set(2, "c"), Set(1, "X"), Cut(1), Set(2, "z")},
       {"a", "", "z"}},
      {"a row kept aside, cut to the last row, then set again",
       {Set(0, "a"), Set(1, "b"), Set(2, "c"), Set(1, "X"), Cut(2), Set(1, "Y")},
       {"a", "Y"}},
      {"cut to nothing", {Set(0, "a"), Set(1, "b"), Set(0, "A"), Cut(0), Set(1, "b")}, {"", "b"}},
      {"cut beyond the end changes nothing", {Set(0, "a"), Cut(5)}, {"a"}},
      {"empty texts still count as rows", {Set(0, ""), Set(1, "b"), Set(2, "")}, {"", "b", ""}},
      {"NUL bytes are kept",
       {Set(0, withNul), Set(1, Text(1, '\0')), Set(0, withNul + withNul)},
       {withNul + withNul, Text(1, '\0')}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const ColumnTexts texts = Apply(c.steps);
    EXPECT_EQ(texts.size(), c.rows.size());
    EXPECT_EQ(texts.ToVector(), c.rows);
    EXPECT_EQ(texts.Get(c.rows.size()), "");
    EXPECT_EQ(texts.Get(static_cast<std::size_t>(-1)), "");
  }
}

// Long mixed runs against a vector of texts, as the readers kept them before.
TEST(ColumnTexts, MatchesAVectorOfTextsOverRandomRuns) {
  std::mt19937 random(7);
  for (int run = 0; run < 50; ++run) {
    SCOPED_TRACE(run);
    ColumnTexts texts;
    std::vector<Text> model;
    for (int step = 0; step < 200; ++step) {
      const std::size_t index = random() % 40;
      if (random() % 25 == 0) {
        texts.Truncate(index);
        if (model.size() > index) model.resize(index);
      } else {
        const Text text(random() % 4, static_cast<char>('a' + step % 26));
        texts.Set(index, text);
        if (model.size() <= index) model.resize(index + 1);
        model[index] = text;
      }
      ASSERT_EQ(texts.ToVector(), model) << "after step " << step;
    }
  }
}

}  // namespace
}  // namespace morvane
