// The 256 captions through a recording view.
#include "catalogue/tone_captions.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/caption_view.h"
#include "catalogue/tone_names.h"

namespace kalvora {
namespace {

constexpr int kButtons = 256;

class RecordingView : public CaptionView {
 public:
  void setButtonCaption(int button, std::string_view caption) override {
    calls.push_back({button, std::string(caption)});
  }
  struct Call {
    int button;
    std::string caption;
  };
  std::vector<Call> calls;
};

class ToneCaptions : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { FillToneNames(); }

  // Captions indexed by button number (element 0 unused), after checking the call order.
  static std::vector<std::string> write(int program, int bank, int map) {
    RecordingView view;
    WriteToneCaptions(view, program, bank, map);
    std::vector<std::string> captions(kButtons + 1);
    EXPECT_EQ(view.calls.size(), static_cast<std::size_t>(kButtons));
    for (std::size_t i = 0; i < view.calls.size(); ++i) {
      EXPECT_EQ(view.calls[i].button, static_cast<int>(i) + 1);
      captions[i + 1] = view.calls[i].caption;
    }
    return captions;
  }

  static std::string bare(int number) { return std::to_string(number) + ": "; }
};

TEST_F(ToneCaptions, StartUpInTheSc8850Map) {
  const auto captions = write(1, 0, 4);
  EXPECT_EQ(captions[1], "1: Piano 1");
  EXPECT_EQ(captions[31], "31: Distortion Gt.");
  EXPECT_EQ(captions[128], "128: Gun Shot");
  EXPECT_EQ(captions[129], "0: Piano 1");
  EXPECT_EQ(captions[130], "1: UprightPiano");
  EXPECT_EQ(captions[131], "2: Mild Piano");
  EXPECT_EQ(captions[132], "3: ");
  EXPECT_EQ(captions[256], "127: ");
}

TEST_F(ToneCaptions, GmNamesOnlyBankZero) {
  const auto captions = write(1, 0, 0);
  EXPECT_EQ(captions[31], "31: ");
  EXPECT_EQ(captions[32], "32: Gt.Harmonics");
  EXPECT_EQ(captions[129], "0: Piano 1");
  for (int b = 1; b < kBankCount; ++b) EXPECT_EQ(captions[129 + b], bare(b));

  const auto otherBank = write(1, 5, 0);
  for (int k = 1; k <= kProgramCount; ++k) EXPECT_EQ(otherBank[k], bare(k));
}

TEST_F(ToneCaptions, ProgramPageFollowsTheBankAndMap) {
  EXPECT_EQ(write(1, 8, 4)[1], "1: Upright Piano w");
  EXPECT_EQ(write(1, 8, 1)[1], "1: Piano 1w");
}

TEST_F(ToneCaptions, BankPageFollowsTheProgram) {
  const auto captions = write(39, 32, 4);
  EXPECT_EQ(captions[39], "39: Hit and Saw  Bass");
  EXPECT_EQ(captions[129 + 32], "32: Hit and Saw  Bass");
  EXPECT_EQ(captions[129], "0: Synth Bass 1");
}

TEST_F(ToneCaptions, AmpersandReachesTheButtonUnchanged) {
  const auto captions = write(88, 0, 2);
  EXPECT_EQ(captions[88], "88: Bass& Lead");
  EXPECT_EQ(captions[129], "0: Bass& Lead");
  EXPECT_EQ(captions[130], "1: Big& Raw");
}

// Values that never come from the buttons (a bad map in the settings file, say) give bare
// prefixes on the page they index, never a read outside the table.
TEST_F(ToneCaptions, OutOfRangeInputsGiveBarePrefixes) {
  struct Case {
    int program, bank, map;
    bool programPageBare, bankPageBare;
  };
  constexpr Case kCases[] = {
      {1, 0, 5, true, true},   {1, 0, -1, true, true},   {1, 0, INT_MAX, true, true},
      {0, 0, 4, false, true},  {129, 0, 4, false, true}, {INT_MIN, 0, 4, false, true},
      {1, -1, 4, true, false}, {1, 128, 4, true, false}, {1, INT_MAX, 4, true, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(::testing::Message() << c.program << "/" << c.bank << "/" << c.map);
    const auto captions = write(c.program, c.bank, c.map);
    EXPECT_EQ(captions[1] == bare(1), c.programPageBare);
    EXPECT_EQ(captions[129] == bare(0), c.bankPageBare);
    for (int k = 1; k <= kProgramCount && c.programPageBare; ++k) EXPECT_EQ(captions[k], bare(k));
    for (int b = 0; b < kBankCount && c.bankPageBare; ++b) EXPECT_EQ(captions[129 + b], bare(b));
  }
}

// Names longer than any in the list must still come through whole, whatever room the caption
// is put together in.
TEST_F(ToneCaptions, LongNamesAreNotCut) {
  const std::size_t slot = ToneNameIndex(100, 0, 3);
  struct Restore {
    std::size_t slot;
    std::string_view name;
    ~Restore() { ToneNames[slot] = name; }
  } restore{slot, ToneNames[slot]};
  const std::string letters(300, 'x');
  for (std::size_t length = 0; length <= letters.size(); ++length) {
    ToneNames[slot] = std::string_view(letters).substr(0, length);
    RecordingView view;
    WriteToneCaptions(view, 1, 0, 3);
    ASSERT_EQ(view.calls[99].caption, "100: " + letters.substr(0, length)) << length;
  }
}

}  // namespace
}  // namespace kalvora
