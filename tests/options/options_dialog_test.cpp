#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include <dialog_testing.h>
#include <platform_testing.h>

#include "double/runtime_double.h"
#include "filter/filter_api.h"
#include "options/encoder_options.h"
#include "options/options_catalogue.h"
#include "options/options_resource.h"
#include "support/leak_checked_test.h"

namespace {

using platform_testing::DialogScript;
using platform_testing::DialogUser;
using platform_testing::ListEntry;
using Entries = std::vector<ListEntry>;

// The catalogue's lists as the dialog shows them: sorted by text, each datum the index.
const Entries kModes = {{"CBR", 0}, {"VBR", 0}};
const Entries kCbrCodecs = {
    {"Alpha Voice", 1}, {"Multichannel Pro", 2}, {"Windows Media Audio 9.2", 0}};
const Entries kVbrCodecs = {
    {"Beta Lossless", 3}, {"Multichannel Pro", 2}, {"Windows Media Audio 9.2", 0}};
const Entries kCbrFormatsOfCodec0 = {{"128 kbps, 44 kHz, stereo CBR", 1},
                                     {"192 kbps, 48 kHz, stereo CBR", 0},
                                     {"64 kbps, 44 kHz, mono CBR", 2}};
const Entries kVbrFormatsOfCodec0 = {{"Quality 50, 44 kHz, stereo VBR", 1},
                                     {"Quality 90, 44 kHz, stereo VBR", 0}};

class OptionsDialogTest : public LeakCheckedTest {
 protected:
  void SetUp() override {
    LeakCheckedTest::SetUp();
    runtime_.codecs = OptionsCatalogue();
  }

  void TearDown() override {
    runtime_.ExpectAllReleased();
    LeakCheckedTest::TearDown();
  }

  // Opens the options dialog on the word, as the host does, with the script as its user.
  DWORD Choose(DWORD incoming, DialogScript script) {
    platform_testing::ScopedDialogScript user(std::move(script));
    return FilterGetOptions(nullptr, GetModuleHandleA(nullptr), 0, 0, 0, incoming);
  }

  std::size_t ProfileManagersMade() const {
    return runtime_.callsTo("WMCreateProfileManager").size();
  }

  runtime_double::RuntimeDouble runtime_;
};

TEST_F(OptionsDialogTest, OpensOnTheDefaultWhenTheWordIsZero) {
  // The second time the runtime asks for more room than it fills: the texts end where it says.
  for (const DWORD extraUnits : {0u, 3u}) {
    for (runtime_double::Codec& codec : runtime_.codecs) codec.claimedExtraUnits = extraUnits;
    const DWORD result = Choose(0, [](DialogUser& user) {
      EXPECT_EQ(user.List(IDC_MODE), kModes);
      EXPECT_EQ(user.Selection(IDC_MODE), 0);
      EXPECT_EQ(user.List(IDC_CODEC), kCbrCodecs);
      EXPECT_EQ(user.SelectedText(IDC_CODEC), "Windows Media Audio 9.2");
      EXPECT_EQ(user.List(IDC_FORMAT), kCbrFormatsOfCodec0);
      EXPECT_EQ(user.SelectedText(IDC_FORMAT), "128 kbps, 44 kHz, stereo CBR");
      user.PressEscape();
    });
    EXPECT_EQ(result, 0u);
  }
}

TEST_F(OptionsDialogTest, CancelEscapeAndTheCloseBoxReturnTheIncomingWord) {
  const DialogScript endings[] = {
      [](DialogUser& user) { EXPECT_TRUE(user.Click(IDCANCEL)); },
      [](DialogUser& user) { EXPECT_TRUE(user.PressEscape()); },
      [](DialogUser& user) { EXPECT_TRUE(user.CloseBox()); },
      [](DialogUser&) {},  // a user who walks away: the box is closed for them
  };
  for (const DialogScript& ending : endings) {
    const DWORD result = Choose(0x80000001, [&](DialogUser& user) {
      EXPECT_EQ(user.SelectedText(IDC_FORMAT), "Quality 50, 44 kHz, stereo VBR");
      EXPECT_TRUE(user.SelectText(IDC_CODEC, "Beta Lossless"));
      ending(user);
    });
    EXPECT_EQ(result, 0x80000001u);
  }
}

TEST_F(OptionsDialogTest, OkReturnsTheIndicesOfTheSelectedEntriesNotTheirPositions) {
  EXPECT_EQ(Choose(0x00000001,
                   [](DialogUser& user) {
                     EXPECT_TRUE(user.SelectText(IDC_CODEC, "Alpha Voice"));
                     EXPECT_EQ(user.List(IDC_FORMAT), (Entries{{"16 kbps, 16 kHz, mono CBR", 0}}));
                     EXPECT_EQ(user.Selection(IDC_FORMAT), 0);
                     EXPECT_TRUE(user.PressEnter());
                   }),
            0x00010000u);
  EXPECT_EQ(Choose(0x00000001,
                   [](DialogUser& user) {
                     EXPECT_TRUE(user.SelectText(IDC_FORMAT, "64 kbps, 44 kHz, mono CBR"));
                     EXPECT_TRUE(user.Click(IDOK));
                   }),
            0x00000002u);
}

TEST_F(OptionsDialogTest, VbrCodecZeroFormatZeroIsItsOwnWordAndNeedsNoDefault) {
  const DWORD result = Choose(0x80000000, [](DialogUser& user) {
    EXPECT_EQ(user.Selection(IDC_MODE), 1);
    EXPECT_EQ(user.List(IDC_CODEC), kVbrCodecs);
    EXPECT_EQ(user.SelectedText(IDC_CODEC), "Windows Media Audio 9.2");
    EXPECT_EQ(user.List(IDC_FORMAT), kVbrFormatsOfCodec0);
    EXPECT_EQ(user.SelectedText(IDC_FORMAT), "Quality 90, 44 kHz, stereo VBR");
    user.PressEnter();
  });
  EXPECT_EQ(result, 0x80000000u);
  EXPECT_EQ(ProfileManagersMade(), 2u) << "one for each list, none for a default";
  for (const auto& setting : runtime_.log().enumerationSettings) {
    EXPECT_EQ(setting.value.AsDword(), 1u) << "every enumeration under VBR";
  }
}

TEST_F(OptionsDialogTest, CbrCodecZeroFormatZeroIsKeptAsAChoice) {
  // Without a default in the catalogue, the word 0 opens on codec 0, format 0.
  runtime_.codecs[0].cbr.erase(runtime_.codecs[0].cbr.begin() + 1);
  const DWORD chosen = Choose(0, [](DialogUser& user) {
    EXPECT_EQ(user.SelectedText(IDC_CODEC), "Windows Media Audio 9.2");
    EXPECT_EQ(user.SelectedText(IDC_FORMAT), "192 kbps, 48 kHz, stereo CBR");
    user.PressEnter();
  });
  // The word 0 would be the incoming word again, and read as "find the default".
  EXPECT_EQ(chosen, kExplicitChoiceMark);
  const EncoderChoice read = ReadEncoderOptions(chosen);
  EXPECT_EQ(read.variableBitRate, FALSE);
  EXPECT_EQ(read.codecIndex, 0u);
  EXPECT_EQ(read.formatIndex, 0u);
  EXPECT_EQ(ResolveEncoderOptions(chosen), chosen);

  // The marked word opens the dialog on that choice, without a search for the default.
  const std::size_t before = ProfileManagersMade();
  EXPECT_EQ(Choose(chosen,
                   [](DialogUser& user) {
                     EXPECT_EQ(user.SelectedText(IDC_FORMAT), "192 kbps, 48 kHz, stereo CBR");
                     user.PressEscape();
                   }),
            chosen);
  EXPECT_EQ(ProfileManagersMade() - before, 2u);
}

TEST_F(OptionsDialogTest, BitsTwentyFourToThirtyPlayNoPart) {
  EXPECT_EQ(Choose(0x7F000002,
                   [](DialogUser& user) {
                     EXPECT_EQ(user.SelectedText(IDC_FORMAT), "64 kbps, 44 kHz, mono CBR");
                     user.PressEnter();
                   }),
            0x00000002u);
}

TEST_F(OptionsDialogTest, AnUnlistedCodecOrFormatFallsBackToTheFirstPosition) {
  struct Case {
    DWORD incoming;
    const char* codec;
    const char* format;
  };
  const Case cases[] = {
      {0x00090000, "Alpha Voice", "16 kbps, 16 kHz, mono CBR"},   // no codec 9
      {0x80010000, "Beta Lossless", "Lossless, 44 kHz, stereo"},  // codec 1 has no VBR formats
      {0x00000003, "Windows Media Audio 9.2", "128 kbps, 44 kHz, stereo CBR"},  // 5.1 channels
      {0x00000004, "Windows Media Audio 9.2", "128 kbps, 44 kHz, stereo CBR"},  // (A/V)
      {0x00000063, "Windows Media Audio 9.2", "128 kbps, 44 kHz, stereo CBR"},  // no format 99
  };
  for (const Case& c : cases) {
    const DWORD result = Choose(c.incoming, [&](DialogUser& user) {
      EXPECT_EQ(user.SelectedText(IDC_CODEC), c.codec) << std::hex << c.incoming;
      EXPECT_EQ(user.SelectedText(IDC_FORMAT), c.format) << std::hex << c.incoming;
      user.PressEscape();
    });
    EXPECT_EQ(result, c.incoming);
  }
}

TEST_F(OptionsDialogTest, ChangingTheModeRebuildsTheListsFromCodecZero) {
  const DWORD result = Choose(0x00010000, [](DialogUser& user) {
    EXPECT_EQ(user.SelectedText(IDC_CODEC), "Alpha Voice");
    EXPECT_TRUE(user.Select(IDC_MODE, 1));
    EXPECT_EQ(user.List(IDC_CODEC), kVbrCodecs) << "Alpha Voice has no VBR formats";
    EXPECT_EQ(user.SelectedText(IDC_CODEC), "Windows Media Audio 9.2");
    EXPECT_EQ(user.List(IDC_FORMAT), kVbrFormatsOfCodec0);
    EXPECT_EQ(user.Selection(IDC_FORMAT), 0);

    EXPECT_TRUE(user.SelectText(IDC_CODEC, "Beta Lossless"));
    EXPECT_TRUE(user.Select(IDC_MODE, 0));
    EXPECT_EQ(user.List(IDC_CODEC), kCbrCodecs) << "Alpha Voice is back, Beta Lossless gone";
    EXPECT_EQ(user.SelectedText(IDC_CODEC), "Windows Media Audio 9.2");
    EXPECT_EQ(user.SelectedText(IDC_FORMAT), "128 kbps, 44 kHz, stereo CBR");
    user.PressEnter();
  });
  EXPECT_EQ(result, 0x00000001u);
}

TEST_F(OptionsDialogTest, ACodecWhoseFormatsAreAllFilteredIsListedWithNoFormats) {
  for (const DWORD incoming : {0x00000001u, 0x80000001u}) {
    const DWORD result = Choose(incoming, [](DialogUser& user) {
      EXPECT_TRUE(user.SelectText(IDC_CODEC, "Multichannel Pro"));
      EXPECT_TRUE(user.List(IDC_FORMAT).empty());
      EXPECT_EQ(user.Selection(IDC_FORMAT), CB_ERR);
      // No format, so nothing to report: OK ends the dialog and the host keeps its word.
      EXPECT_TRUE(user.PressEnter());
      EXPECT_TRUE(user.ended());
    });
    EXPECT_EQ(result, incoming);
  }
}

TEST_F(OptionsDialogTest, FillersReleaseEverythingBeforeLeavingCom) {
  // On a thread that is already in the apartment, the fillers leave it as they found it.
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  Choose(0x80000001, [](DialogUser& user) {
    EXPECT_EQ(platform_testing::CurrentApartment().initializations, 1u);
    user.SelectText(IDC_CODEC, "Beta Lossless");
    user.Select(IDC_MODE, 0);
    user.PressEnter();
  });
  EXPECT_EQ(platform_testing::CurrentApartment().initializations, 1u);
  CoUninitialize();
  ASSERT_FALSE(runtime_.finalReleases().empty());
  for (const auto& release : runtime_.finalReleases()) {
    EXPECT_EQ(release.apartmentCount, 2u) << release.object << " released outside the filler";
  }
}

TEST_F(OptionsDialogTest, AThreadInTheMultithreadedApartmentLeavesTheListsUntouched) {
  DWORD result = 0;
  std::thread([&] {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    result = Choose(0x00000002, [](DialogUser& user) {
      EXPECT_EQ(user.List(IDC_MODE), kModes);
      EXPECT_TRUE(user.List(IDC_CODEC).empty());
      EXPECT_TRUE(user.List(IDC_FORMAT).empty());
      EXPECT_TRUE(user.Select(IDC_MODE, 1));
      EXPECT_TRUE(user.List(IDC_CODEC).empty());
      user.PressEnter();
    });
    CoUninitialize();
  }).join();
  EXPECT_EQ(result, 0x00000002u);
  EXPECT_EQ(ProfileManagersMade(), 0u);
}

TEST_F(OptionsDialogTest, RuntimeFailuresLeaveEntriesOut) {
  // The second name call is codec 0's text: codec 0 is left out, and the first entry chosen.
  runtime_.Fail("CodecInfo.GetCodecName", E_FAIL, 2);
  Choose(0x00000001, [](DialogUser& user) {
    EXPECT_EQ(user.List(IDC_CODEC), (Entries{{"Alpha Voice", 1}, {"Multichannel Pro", 2}}));
    EXPECT_EQ(user.SelectedText(IDC_CODEC), "Alpha Voice");
    EXPECT_EQ(user.SelectedText(IDC_FORMAT), "16 kbps, 16 kHz, mono CBR");
    user.PressEscape();
  });

  // No codec list at all: the format list is asked for a codec that does not exist.
  runtime_.Fail("WMCreateProfileManager", E_OUTOFMEMORY);
  const DWORD result = Choose(0x00000001, [](DialogUser& user) {
    EXPECT_TRUE(user.List(IDC_CODEC).empty());
    EXPECT_TRUE(user.List(IDC_FORMAT).empty());
    user.PressEnter();
  });
  EXPECT_EQ(result, 0x00000001u);
}

TEST_F(OptionsDialogTest, EveryFailedAllocationLeavesNothingBehind) {
  const std::size_t heapBlocks = platform_testing::LiveHeapBlocks();
  for (unsigned nth = 1;; ++nth) {
    const unsigned before = platform_testing::HeapAllocationCalls();
    platform_testing::FailHeapAllocation(nth);
    const DWORD result = Choose(0x00000001, [](DialogUser& user) { user.PressEnter(); });
    const unsigned made = platform_testing::HeapAllocationCalls() - before;
    platform_testing::FailHeapAllocation(0);
    EXPECT_EQ(platform_testing::LiveHeapBlocks(), heapBlocks) << "allocation " << nth;
    // No CB_ERR spilt into the reserved bits; bit 24 may mark the choice of codec 0, format 0.
    EXPECT_EQ(result & 0x7E000000u, 0u) << "allocation " << nth;
    if (nth > made) break;
  }
}

TEST_F(OptionsDialogTest, WithoutTheDialogTheIncomingWordComesBack) {
  platform_testing::ScopedDialogScript nobody([](DialogUser&) { ADD_FAILURE() << "no dialog"; });
  // A module without the dialog procedure is not the filter.
  EXPECT_EQ(FilterGetOptions(nullptr, GetModuleHandleA("libwinplatform.so"), 0, 0, 0, 0x80000005),
            0x80000005u);
  // An invalid parent window.
  EXPECT_EQ(
      FilterGetOptions(reinterpret_cast<HWND>(0x4), GetModuleHandleA(nullptr), 0, 0, 0, 0x00000002),
      0x00000002u);
  EXPECT_EQ(ProfileManagersMade(), 0u);
  // A dialog that cannot be created (-1).
  platform_testing::FailNextDialogCreation();
  EXPECT_EQ(FilterGetOptions(nullptr, GetModuleHandleA(nullptr), 0, 0, 0, 0x00010002), 0x00010002u);
  EXPECT_EQ(ProfileManagersMade(), 0u);
}

TEST_F(OptionsDialogTest, ACodecIndexTheWordCannotHoldEndsAsCancelled) {
  std::vector<runtime_double::Codec> many;
  for (int index = 0; index <= 256; ++index) {
    std::u16string name = u"Codec ";
    for (const char digit : std::to_string(1000 + index).substr(1)) name += char16_t(digit);
    many.push_back(
        {name, {runtime_double::WmaFormat(u"128 kbps, 44 kHz, stereo CBR", 44100, 2, 16)}, {}});
  }
  runtime_.codecs = many;
  // Codec 256 would build the word of codec 0 with bit 24 set.
  EXPECT_EQ(Choose(0x00010000,
                   [](DialogUser& user) {
                     EXPECT_TRUE(user.SelectText(IDC_CODEC, "Codec 256"));
                     EXPECT_TRUE(user.Click(IDOK));
                   }),
            0x00010000u);
}

}  // namespace
