// The archive component: its settings, the forwarding of engine callbacks to
// events, and the reading operations built on the engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/engine/EngineState.h"
#include "tests/ArchiveBuilder.h"
#include "tests/TestSupport.h"
#include "zorellz/component/ZRLLZSS.h"
#include "zorellz/engine/ZorelLZ.h"

namespace zorellz::test {
namespace {

namespace fs = std::filesystem;

class TComponentFixture : public ::testing::Test {
 protected:
  // The component under test has installed its hooks by now.
  void SetUp() override {
    lz_.SetTargetDirectory(target_);
    lz_.OnViewArchive = [this](TZorelLZObj& sender, PZorelLZArchiveHeader, std::int32_t k) {
      EXPECT_EQ(&sender, &lz_);
      std::string path;
      lz_.FullLZName(k, path);
      viewed_.push_back(std::to_string(k) + (path.empty() ? "" : " " + path));
      return k == stop_at_ ? 0 : 1;
    };
  }
  void TearDown() override { LZResetEngineState(); }

  // Sub (folder), Sub\file.txt and top.txt.
  std::string WriteTree(const std::string& name, std::size_t stub = 0) {
    TArchiveBuilder builder;
    builder.AddFile("file.txt", Text("inner"), builder.AddFolder("Sub"));
    builder.AddFile("top.txt", Text("top"));
    WriteFileBytes(scratch_.File(name), builder.Stub(stub).Bytes());
    return scratch_.File(name);
  }
  // f1.dat ... fN.dat holding "data 1" ... "data N".
  std::string WriteFlat(int files, bool protect = false) {
    TArchiveBuilder builder;
    for (int k = 1; k <= files; ++k) {
      builder.AddFile("f" + std::to_string(k) + ".dat", Text("data " + std::to_string(k)));
    }
    if (protect) builder.Protect();
    WriteFileBytes(scratch_.File("flat.lza"), builder.Bytes());
    return scratch_.File("flat.lza");
  }
  std::vector<std::string> Extracted() const {
    std::vector<std::string> names;
    if (!fs::exists(target_)) return names;
    for (const auto& entry : fs::directory_iterator(target_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  TScratchDir scratch_;
  std::string target_ = scratch_.File("out");
  TZorelLZObj lz_;
  std::vector<std::string> viewed_;
  std::int32_t stop_at_ = 1000;
};

class ComponentSettings : public TComponentFixture {};
class ComponentExtract : public TComponentFixture {};
class ComponentView : public TComponentFixture {};
class ComponentList : public TComponentFixture {};
class ComponentForwarding : public TComponentFixture {};

// ---- Settings -----------------------------------------------------------------

TEST_F(ComponentSettings, ConstructionResetsTheEngineWideSettings) {
  lz_.SetDeArchiveMask("*.txt");
  lz_.SetCheckFileCRC(true);
  lz_.SetExtensionstoStore(".ABC");
  LZSetHeaderOffset(500);

  TZorelLZObj fresh;
  EXPECT_EQ(CurrentLZObj(), &fresh);
  EXPECT_EQ(fresh.GetDearchiveMask(), "*.*");
  EXPECT_EQ(LZGetDearchiveMask(), "*.*");
  EXPECT_FALSE(LZGetCheckCRC());
  EXPECT_EQ(LZSetHeaderOffset(-1), 0);
  // The store list is the engine's, whoever set it last.
  EXPECT_EQ(fresh.GetExtensionstoStore(), ".ABC");
  EXPECT_EQ(fresh.GetSpanDiskSize(), 1456472);
  EXPECT_EQ(fresh.GetSpanDiskType(), FloppyDisk1440);
}

TEST_F(ComponentSettings, DiskSizeAndTypeFollowEachOther) {
  lz_.SetSpanDiskSize(728760);
  EXPECT_EQ(lz_.GetSpanDiskType(), FloppyDisk720);
  lz_.SetSpanDiskSize(1000000);
  EXPECT_EQ(lz_.GetSpanDiskType(), FloppyDiskOther);
  lz_.SetSpanDiskType(FloppyDiskZip);
  EXPECT_EQ(lz_.GetSpanDiskSize(), 100428415);
  lz_.SetSpanDiskType(FloppyDiskOther);
  EXPECT_EQ(lz_.GetSpanDiskSize(), -1);
  // The order in which a form stores them keeps the size, listed or not.
  for (std::int32_t size : {-1, 5000000}) {
    lz_.SetSpanDiskSize(size);
    lz_.SetSpanDiskType(FloppyDiskOther);
    EXPECT_EQ(lz_.GetSpanDiskSize(), size);
    EXPECT_EQ(lz_.GetSpanDiskType(), FloppyDiskOther);
  }
}

TEST_F(ComponentSettings, SpannedHeaderGivesItsPartCount) {
  TArchiveBuilder builder;
  builder.AddFile("a.txt", Text("a"));
  TArchiveImage image = builder.Image();
  image.Header.PartCount = 3;
  image.Header.Trailer.SpanSignature = LZSpanSignature();
  image.Header.Trailer.SpanParts = 3;
  image.Header.Trailer.SpanPart = 1;
  image.Header.Trailer.SpanName.Set("X.LZA");
  WriteFileBytes(scratch_.File("X.LZA"), image.Bytes());
  lz_.SetArchiveName(scratch_.File("X.LZA"));
  EXPECT_TRUE(lz_.IsSpannedArchive());
  EXPECT_EQ(lz_.GetSpanDiskCount(), 3);
  EXPECT_EQ(lz_.IsSpanned(WriteFlat(1)), 0);
  EXPECT_EQ(lz_.IsSpanned(scratch_.File("none")), kLZNoFile);
}

// ---- Extraction -----------------------------------------------------------------

TEST_F(ComponentExtract, ByIDTakesThatEntryAndGivesTheMaskBack) {
  lz_.SetArchiveName(WriteFlat(8));
  lz_.SetDeArchiveMask("*.txt");
  EXPECT_EQ(lz_.ExtractArchiveFileByID(7), 1);
  EXPECT_EQ(Extracted(), std::vector<std::string>{"f7.dat"});
  EXPECT_EQ(LZGetDearchiveMask(), "*.txt");
  EXPECT_EQ(lz_.ExtractArchiveFileByName("f2.dat"), 1);
  EXPECT_EQ(Extracted(), (std::vector<std::string>{"f2.dat", "f7.dat"}));
  EXPECT_EQ(LZGetDearchiveMask(), "*.txt");
}

TEST_F(ComponentExtract, GivesTheMaskBackWhenAHandlerThrows) {
  lz_.SetArchiveName(WriteFlat(2, /*protect=*/true));
  lz_.OnCheckPassWord = [](TZorelLZObj&, const TLZArchiveHeader&, std::int32_t) -> std::int32_t {
    throw std::runtime_error("cancelled");
  };
  EXPECT_THROW(lz_.ExtractArchiveFileByName("f1.dat"), std::runtime_error);
  EXPECT_EQ(LZGetDearchiveMask(), "*.*");
}

TEST_F(ComponentExtract, EmptyEventsOverwriteAndAcceptWhileDefaultsRefuse) {
  lz_.SetArchiveName(WriteFlat(1, /*protect=*/true));
  EXPECT_EQ(lz_.DecompressArchive(), kLZNotAnArchive);  // CheckPassWord refuses
  EXPECT_TRUE(Extracted().empty());

  fs::create_directories(target_);
  WriteFileBytes(target_ + "/f1.dat", Text("old"));
  lz_.OnCheckPassWord = nullptr;
  lz_.OnConfirmOverwrite = nullptr;
  EXPECT_EQ(lz_.DecompressArchive(), 1);
  EXPECT_EQ(ReadFileBytes(target_ + "/f1.dat"), Text("data 1"));

  lz_.OnConfirmOverwrite = [](TZorelLZObj&, const TLZReportRec&, const TLZReportRec&) {
    return TLZReply{0};
  };
  WriteFileBytes(target_ + "/f1.dat", Text("old"));
  lz_.DecompressArchive();
  EXPECT_EQ(ReadFileBytes(target_ + "/f1.dat"), Text("old"));
}

TEST_F(ComponentExtract, PasswordAnswerDoesNotOutliveALookAtAnotherFile) {
  const std::string archive = WriteFlat(1, /*protect=*/true);
  lz_.OnCheckPassWord = nullptr;  // accepts
  lz_.SetSFXArchiveName(archive);
  EXPECT_EQ(lz_.IsSFXArchive(), 0);
  lz_.OnCheckPassWord = [](TZorelLZObj&, const TLZArchiveHeader&, std::int32_t) {
    return kLZProtectedMarker;
  };
  lz_.SetArchiveName(archive);
  EXPECT_EQ(lz_.DecompressArchive(), kLZNotAnArchive);
  EXPECT_TRUE(Extracted().empty());
}

TEST_F(ComponentExtract, PayloadCopyIsNamedAfterTheSelfExtractingFile) {
  fs::create_directories(scratch_.File("v1.2"));
  for (const char* sfx : {"v1.2/setup.exe", "v1.2/setup"}) {
    WriteTree(sfx, /*stub=*/700);
    lz_.SetArchiveName("");
    lz_.SetSFXArchiveName(scratch_.File(sfx));
    EXPECT_GT(lz_.ExtractArchiveFromSFX(), 0);
    EXPECT_EQ(lz_.GetArchiveName(), scratch_.File("v1.2/setup.LZA"));
    EXPECT_TRUE(fs::exists(scratch_.File("v1.2/setup.LZA")));
    fs::remove(scratch_.File("v1.2/setup.LZA"));
  }
}

// ---- Viewing and listing --------------------------------------------------------

TEST_F(ComponentView, DeliversEveryEntryWithItsPathInsideTheArchive) {
  lz_.SetArchiveName(WriteTree("tree.lza"));
  lz_.OnViewArchive = [this, view = lz_.OnViewArchive](
                          TZorelLZObj& sender, PZorelLZArchiveHeader directory, std::int32_t k) {
    EXPECT_EQ(directory, lz_.Directory());
    std::string beyond = "x";
    lz_.FullLZName(directory->Count + 1, beyond);
    EXPECT_EQ(beyond, "");
    return view(sender, directory, k);
  };
  EXPECT_EQ(lz_.ViewArchive(), 3);
  EXPECT_EQ(viewed_,
            (std::vector<std::string>{"-6", "1 Sub", "2 Sub\\file.txt", "3 top.txt", "-7"}));
  EXPECT_EQ(lz_.Directory(), nullptr);
  std::string name = "x";
  lz_.FullLZName(1, name);
  EXPECT_EQ(name, "");
}

TEST_F(ComponentView, StopsWhereTheEventSaysSo) {
  lz_.SetArchiveName(WriteTree("tree.lza"));
  stop_at_ = 2;
  EXPECT_EQ(lz_.ViewArchive(), 3);
  EXPECT_EQ(viewed_, (std::vector<std::string>{"-6", "1 Sub", "2 Sub\\file.txt", "-7"}));
  viewed_.clear();
  stop_at_ = kLZReportSummary;  // nothing more, not even the end
  EXPECT_EQ(lz_.ViewArchive(), 3);
  EXPECT_EQ(viewed_, std::vector<std::string>{"-6"});
}

TEST_F(ComponentView, OfWhatIsNoSoundArchiveCallsNoEvent) {
  WriteFileBytes(scratch_.File("plain.txt"), Text("no archive at all"));
  lz_.SetArchiveName(scratch_.File("plain.txt"));
  EXPECT_EQ(lz_.ViewArchive(), kLZNotAnArchive);
  lz_.SetArchiveName(WriteFlat(1, /*protect=*/true));  // refused by CheckPassWord
  EXPECT_EQ(lz_.ViewArchive(), kLZNotAnArchive);
  EXPECT_TRUE(viewed_.empty());
}

TEST_F(ComponentView, StartedInsideAViewIsRefused) {
  lz_.SetArchiveName(WriteTree("tree.lza"));
  std::vector<std::int32_t> inner;
  lz_.OnViewArchive = [&](TZorelLZObj& sender, PZorelLZArchiveHeader, std::int32_t k) {
    if (k == 1) inner.push_back(sender.ViewArchive());
    return 1;
  };
  EXPECT_EQ(lz_.ViewArchive(), 3);
  EXPECT_EQ(inner, std::vector<std::int32_t>{kLZNotAnArchive});
}

TEST_F(ComponentView, SelfExtractingViewLeavesNameAndOffsetAsTheyWere) {
  lz_.SetSFXArchiveName(WriteTree("setup.exe", /*stub=*/900));
  lz_.SetArchiveName("other.lza");
  LZSetHeaderOffset(5);
  EXPECT_EQ(lz_.ViewSFXArchive(), 3);
  EXPECT_EQ(viewed_.size(), 5u);
  EXPECT_EQ(lz_.GetArchiveName(), "other.lza");
  EXPECT_EQ(LZSetHeaderOffset(-1), 5);

  lz_.OnViewArchive = [](TZorelLZObj&, PZorelLZArchiveHeader, std::int32_t) -> std::int32_t {
    throw std::runtime_error("closed");
  };
  EXPECT_THROW(lz_.ViewArchive(), std::runtime_error);
  EXPECT_EQ(lz_.Directory(), nullptr);
  EXPECT_EQ(lz_.GetArchiveName(), "other.lza");
  EXPECT_EQ(LZSetHeaderOffset(-1), 5);
}

TEST_F(ComponentList, PrefersTheSelfExtractingFile) {
  std::vector<std::string> listed;
  lz_.OnListArchive = [&](TZorelLZObj&, const TLZReportRec& record, std::int32_t number) {
    listed.push_back(std::to_string(number) + " " + record.FileName);
    return 1;
  };
  lz_.SetArchiveName(WriteFlat(1));
  EXPECT_EQ(lz_.ListArchive(), 1);
  EXPECT_EQ(listed.size(), 3u);

  const std::string sfx = WriteTree("setup.exe", /*stub=*/900);
  lz_.SetSFXArchiveName(sfx);
  listed.clear();
  EXPECT_EQ(lz_.ListArchive(), 3);
  EXPECT_EQ(listed.front(), "-6 " + sfx);
  EXPECT_EQ(listed.at(2), "2 Sub\\file.txt");
  EXPECT_EQ(lz_.GetArchiveName(), scratch_.File("flat.lza"));
  EXPECT_EQ(LZSetHeaderOffset(-1), 0);
}

// ---- Forwarding -------------------------------------------------------------------

void ExpectForwardingDefaults() {
  TLZReportRec record;
  std::string name = "kept";
  TLZArchiveHeader header;
  EXPECT_EQ(LZForwardQuestion(record, record), 1);
  EXPECT_EQ(LZForwardReport(record, kLZReportFileBegins), 1);
  EXPECT_FALSE(LZForwardRename(name));
  EXPECT_EQ(LZForwardList(record, 1), 0);
  EXPECT_EQ(LZForwardView(nullptr, 1), 0);
  EXPECT_EQ(LZForwardSetPassWord(header), kLZPasswordAccepted);
  EXPECT_EQ(LZForwardCheckPassWord(header, 0), kLZPasswordAccepted);
  EXPECT_EQ(LZForwardPromptForDisk(2, 3, -1, "A:\\"), 1);
}

TEST_F(ComponentForwarding, ReachesTheCurrentInstanceOnly) {
  int reports = 0;
  lz_.OnProgressReport = [&](TZorelLZObj&, const TLZReportRec&, std::int32_t) {
    ++reports;
    return 0;
  };
  TLZReportRec record;
  EXPECT_EQ(LZForwardReport(record, kLZReportFileBegins), 1);  // the answer is dropped
  EXPECT_EQ(reports, 1);
  lz_.OnSeekToReName = [](TZorelLZObj&, TLZString& name) {
    name = "renamed";
    return true;
  };
  std::string name;
  EXPECT_TRUE(LZForwardRename(name));
  EXPECT_EQ(name, "renamed");
  LZEngine().ProtectionAnswer = kLZPasswordAccepted;
  lz_.OnListArchive = [](TZorelLZObj&, const TLZReportRec&, std::int32_t) { return 7; };
  EXPECT_EQ(LZForwardList(record, 1), 7);
  EXPECT_EQ(LZEngine().ProtectionAnswer, -1);

  { TZorelLZObj second; }
  EXPECT_EQ(CurrentLZObj(), nullptr);
  ExpectForwardingDefaults();
  EXPECT_EQ(reports, 1);

  TZorelLZObj third;
  third.OnConfirmOverwrite = nullptr;
  third.OnProgressReport = nullptr;
  third.OnSeekToReName = nullptr;
  third.OnListArchive = nullptr;
  third.OnViewArchive = nullptr;
  third.OnRequestPassWord = nullptr;
  third.OnCheckPassWord = nullptr;
  third.OnPromptForDisk = nullptr;
  EXPECT_EQ(CurrentLZObj(), &third);
  ExpectForwardingDefaults();
}

TEST_F(ComponentForwarding, DefaultEventsCallTheHandlersOfADerivedComponent) {
  struct TEager : TZorelLZObj {
    std::int32_t ViewArchiveContents(TZorelLZObj& sender, PZorelLZArchiveHeader,
                                     std::int32_t) override {
      senders.push_back(&sender);
      return 1;
    }
    std::vector<TZorelLZObj*> senders;
  } eager;
  eager.SetArchiveName(WriteFlat(2));
  EXPECT_EQ(eager.ViewArchive(), 2);
  EXPECT_EQ(eager.senders, std::vector<TZorelLZObj*>(4, &eager));
}

// ---- Ownership ----------------------------------------------------------------------

TEST(Component, OwnerDestroysWhatItOwnsLastCreatedFirst) {
  std::vector<int> destroyed;
  struct TProbe : TComponent {
    TProbe(TComponent* owner, int number, std::vector<int>& log)
        : TComponent(owner), id(number), destroyed(log) {}
    ~TProbe() override { destroyed.push_back(id); }
    int id;
    std::vector<int>& destroyed;
  };
  {
    TComponent owner(nullptr);
    new TProbe(&owner, 1, destroyed);
    auto* early = new TProbe(&owner, 2, destroyed);
    new TProbe(&owner, 3, destroyed);
    new TZorelLZObj(&owner);
    delete early;
    EXPECT_EQ(owner.ComponentCount(), 3);
    EXPECT_NE(CurrentLZObj(), nullptr);
  }
  EXPECT_EQ(destroyed, (std::vector<int>{2, 3, 1}));
  EXPECT_EQ(CurrentLZObj(), nullptr);
  LZResetEngineState();
}

}  // namespace
}  // namespace zorellz::test
