// ColumnTexts: rows in any order, rows set again, shared texts and cuts read as a plain vector of
// texts would.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "load/workbook.h"

namespace morvane {
namespace {

// The shared texts every case starts with.
const Text kShared[] = {"s0", "shared one", ""};

struct Step {
  enum Kind { kSet, kShare, kCut } kind;
  std::size_t index;
  Text text;
  std::size_t shared = 0;
};
Step Set(std::size_t index, Text text) { return {Step::kSet, index, std::move(text)}; }
Step Share(std::size_t index, std::size_t shared) { return {Step::kShare, index, {}, shared}; }
Step Cut(std::size_t rows) { return {Step::kCut, rows, {}}; }

ColumnTexts Apply(const std::vector<Step>& steps) {
  ColumnTexts texts;
  for (const Text& text : kShared) texts.AddShared(text);
  for (const Step& step : steps) {
    if (step.kind == Step::kCut)
      texts.Truncate(step.index);
    else if (step.kind == Step::kShare)
      texts.SetShared(step.index, step.shared);
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
      {"shared and own texts mixed",
       {Share(0, 1), Set(1, "own"), Share(2, 0), Share(3, 1), Share(5, 2)},
       {"shared one", "own", "s0", "shared one", "", ""}},
      {"a shared row set again, then shared again",
       {Set(0, "a"), Share(1, 0), Set(1, "b"), Set(2, "c"), Share(1, 1)},
       {"a", "shared one", "c"}},
      {"the last row's own text rewritten after a shared row",
       {Share(0, 0), Set(1, "long text"), Share(2, 1), Set(1, "B"), Set(2, "C")},
       {"s0", "B", "C"}},
      {"a row holding the last shared text set again", {Share(0, 2), Share(1, 2), Set(0, "x")}, {"x", ""}},
      {"a shared row cut and set again", {Share(0, 0), Share(1, 1), Cut(1), Share(1, 0)}, {"s0", "s0"}},
      {"a shared text that was never added changes nothing", {Share(0, 9), Set(1, "b"), Share(1, 3)}, {"", "b"}},
      {"NUL bytes are kept",
       {Set(0, withNul), Set(1, Text(1, '\0')), Set(0, withNul + withNul)},
       {withNul + withNul, Text(1, '\0')}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const ColumnTexts texts = Apply(c.steps);
    EXPECT_FALSE(texts.Overflowed());
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
    for (const Text& text : kShared) texts.AddShared(text);
    std::vector<Text> model;
    for (int step = 0; step < 200; ++step) {
      const std::size_t index = random() % 40;
      const unsigned kind = random() % 25;
      if (kind == 0) {
        texts.Truncate(index);
        if (model.size() > index) model.resize(index);
        continue;
      }
      if (model.size() <= index) model.resize(index + 1);
      if (kind < 8) {
        const std::size_t shared = random() % std::size(kShared);
        texts.SetShared(index, shared);
        model[index] = kShared[shared];
      } else {
        const Text text(random() % 4, static_cast<char>('a' + step % 26));
        texts.Set(index, text);
        model[index] = text;
      }
      ASSERT_EQ(texts.ToVector(), model) << "after step " << step;
    }
  }
}

// Shared texts are numbered before any row's own text; one added later would take a number a
// row's own text has, so the column says it cannot be trusted.
TEST(ColumnTexts, ASharedTextAfterRowsOwnTextsIsRefused) {
  ColumnTexts texts;
  texts.AddShared("s0");
  texts.Set(0, "own");
  EXPECT_FALSE(texts.Overflowed());
  texts.AddShared("s1");
  EXPECT_TRUE(texts.Overflowed());
  EXPECT_EQ(texts.SharedCount(), 1u);
  EXPECT_EQ(texts.ToVector(), std::vector<Text>{"own"});
}

}  // namespace
}  // namespace morvane
