// TZorelLZObj: the one object through which a program uses the archive
// library.  Its settings are properties (accessor pairs), its operations are
// methods that each make one engine call with the current settings, and the
// engine's questions, reports and prompts arrive as events.  Every event has
// a default handler, so the component works with none assigned.
//
// Each instance runs its operations on an engine context of its own, whose
// hooks call that instance's events: the settings and events of one instance
// never reach another's operations, whichever is created, used or destroyed
// first, and instances on different threads run at the same time.  One
// operation at a time per instance.  For programs that read the settings
// through the routine interface, the setters also set the process's default
// context, which the instance's own operations never use.  Results are the
// engine's result codes (ZrlTypes.h); exceptions of the engine and of event
// handlers pass through to the caller.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "zorellz/component/Component.h"
#include "zorellz/engine/LZContext.h"
#include "zorellz/engine/ZrlTypes.h"
#include "zorellz/platform/Export.h"

ZORELLZ_API_BEGIN
namespace zorellz {

// Disk sizes for spanned archives.
enum LZFloppyDiskTypes : std::uint8_t {
  FloppyDisk1440 = 0,
  FloppyDisk720 = 1,
  FloppyDisk2880 = 2,
  FloppyDisk360 = 3,
  FloppyDisk1200 = 4,
  FloppyDiskZip = 5,
  FloppyDiskOther = 6,
};
// The part size a disk type stands for; -1 for FloppyDiskOther.
std::int32_t LZFloppyDiskSize(LZFloppyDiskTypes type);

// Answer to the overwrite question: 0 keep, 1 overwrite, 2 abort.
using TLZReply = std::uint8_t;
using TLZString = std::string;

class TZorelLZObj;

// The events; the first argument is always the sending component.
using TLZQuestionFuncEx = std::function<TLZReply(
    TZorelLZObj& sender, const TLZReportRec& current_record, const TLZReportRec& existing_record)>;
using TLZReportProcEx = std::function<std::int32_t(
    TZorelLZObj& sender, const TLZReportRec& current_record, std::int32_t number)>;
using TLZRenameFuncEx = std::function<bool(TZorelLZObj& sender, TLZString& new_file_name)>;
using TViewArchiveProctypeEx = std::function<std::int32_t(
    TZorelLZObj& sender, PZorelLZArchiveHeader archive_info, std::int32_t current_num)>;
using TLZSetPassWordFuncEx =
    std::function<std::int32_t(TZorelLZObj& sender, TLZArchiveHeader& header)>;
using TLZCheckPassWordFuncEx = std::function<std::int32_t(
    TZorelLZObj& sender, const TLZArchiveHeader& header, std::int32_t code)>;
using TLZFileMatchFuncEx = std::function<bool(TZorelLZObj& sender, const TLZString& file_spec,
                                              const TLZString& the_fname, std::int32_t archive_id)>;
using TLZSpanPromptProcEx =
    std::function<std::int32_t(TZorelLZObj& sender, std::int32_t disk_num, std::int32_t total_parts,
                               std::int32_t needed_space, const char* drive)>;

class TZorelLZObj : public TComponent {
 public:
  // Points every event at its default handler, makes this instance the
  // current one and resets every setting (Reset).
  explicit TZorelLZObj(TComponent* owner = nullptr);
  // With no owner, then SetInputName and SetOutputName.
  TZorelLZObj(const TLZString& input_name, const TLZString& output_name);
  static std::unique_ptr<TZorelLZObj> CreateWithNames(const TLZString& input_name,
                                                      const TLZString& output_name);
  // Leaves the engine without a current instance, then resets.
  ~TZorelLZObj() override;

  // ---- Settings ----------------------------------------------------------
  // Names are kept whole (a name is opened or created as given).
  virtual void SetInputName(const TLZString& name);
  virtual TLZString GetInputName() const;
  virtual void SetOutputName(const TLZString& name);
  virtual TLZString GetOutputName() const;

  // ---- Single files (creation in ComponentCreate.cpp) -----------------------
  // With OutputFileName: LZCompressFile at CompressionChoice; without it:
  // LZCompressFileAutoName (the derived name, maximum level).
  virtual std::int32_t CompressFile();
  // OutputFileName set: LZDecompressFile into it; else LZExpandFile.
  virtual std::int64_t DeCompressFile();
  virtual std::int32_t CompressFileEx();    // always LZCompressFileAutoName
  virtual std::int64_t DeCompressFileEx();  // always LZExpandFile

  virtual void SetArchiveName(const TLZString& name);
  virtual TLZString GetArchiveName() const;
  virtual void SetArchiveFileSpecs(const TLZString& specs);
  virtual TLZString GetArchiveFileSpecs() const;
  virtual void SetTargetDirectory(const TLZString& folder);
  virtual TLZString GetTargetDirectory() const;
  virtual void SetRecurseDirs(TLZRecurse value);
  virtual TLZRecurse GetRecurseDirs() const;
  // Also sets the engine's dearchive mask.
  virtual void SetDeArchiveMask(const TLZString& mask);
  virtual TLZString GetDearchiveMask() const;
  virtual void SetDearchiveRecurse(bool value);
  // Also sets the engine's CRC-check switch.
  virtual void SetCheckFileCRC(bool value);
  virtual void SetExtractUnExpanded(bool value);
  virtual void SetCompressionChoices(TLZCompressionChoices value);
  // Also sets the engine's store list; the getter returns the engine's list.
  virtual void SetExtensionstoStore(const TLZString& list);
  virtual TLZString GetExtensionstoStore() const;
  // Store the hook and install it in the engine (nullptr removes it); 0.
  virtual std::int32_t SetSetPassWordFunc(TLZSetPassWordProc hook);
  virtual std::int32_t SetCheckPassWordFunc(TLZCheckPassWordProc hook);
  // Installs `proc` as the engine's disk prompt; nullptr is ignored.
  virtual void SetPromptForDiskProc(TLZSpanPromptProc proc);
  virtual void SetSFXStub(const TLZString& name);
  virtual TLZString GetSFXStub() const;
  virtual void SetSFXArchiveName(const TLZString& name);
  virtual TLZString GetSFXArchiveName() const;
  virtual void SetMakeSfxValue(bool value);
  virtual bool GetMakeSfxValue() const;
  // The engine's header offset := ArchiveOffset of the header buffer;
  // returns the previous offset.
  virtual std::int32_t SetHeaderOffset();
  // LZSetHeaderOffset(offset): a negative offset only queries.
  virtual std::int32_t RestoreHeaderOffset(std::int32_t offset);

  // ---- Archives ----------------------------------------------------------
  // CreateSFXArchive when MakeSFXArchive; across disks when SpanDisks;
  // SpanDiskCount := the parts written (0 when nothing was split).
  virtual std::int32_t CreateArchive();
  virtual std::int32_t DecompressArchive();
  // Extraction of the entries `name` selects (or of entry `id`, mask "#:id")
  // with no callbacks; the engine's mask is DeArchiveMask again afterwards,
  // on every way out.
  virtual std::int32_t ExtractArchiveFileByName(const TLZString& name);
  virtual std::int32_t ExtractArchiveFileByID(std::int32_t id);
  // LZExtractComment into DeArchiveTargetDirectory; CommentPath() receives
  // the path of the comment file.
  virtual std::int32_t ExtractCommentFromArchive();
  // Marks file `name` as the archive comment (attributes 0x09): 9, or -1.
  virtual std::int32_t SetArchiveCommentFile(const TLZString& name);
  // The self-extracting file's listing when SFXArchiveName carries an
  // archive, else the listing of ArchiveName through OnListArchive.
  virtual std::int32_t ListArchive();
  // The same choice; the view loads the directory, calls OnViewArchive with
  // -6, then (only when that answered non-zero) 1, 2, ... until an answer of
  // 0, then -7; the entry count, or -15 when the header cannot be read or
  // the archive is refused (or a view is already running), or the
  // directory's load result.
  virtual std::int32_t ViewArchive();
  // Total uncompressed size recorded in InputFileName's header; 0 if none.
  virtual std::int32_t GetArchiveSize();
  virtual std::int32_t GetSpanDiskSize() const;
  // Nothing when `size` is the current size; otherwise stores it and sets
  // the type whose size it is, FloppyDiskOther for any other size.
  virtual void SetSpanDiskSize(std::int32_t size);
  virtual bool GetSpanDisks() const;
  virtual std::int32_t GetSpanDiskCount() const;
  virtual TLZString GetSpannedArchiveName() const;
  // Stores the type and the size it stands for (-1 for FloppyDiskOther).
  // FloppyDiskOther for a component that has it already keeps its size, so
  // that a size of no listed type stored before the type survives.
  virtual void SetSpanDiskType(LZFloppyDiskTypes type);
  virtual LZFloppyDiskTypes GetSpanDiskType() const;
  virtual void SetSpanDisks(bool value);
  // The part count of a spanned archive `name` (also into SpanDiskCount),
  // 0 for one that is not spanned, or the negative locating result.
  virtual std::int32_t IsSpanned(const TLZString& name);
  virtual bool IsSpannedArchive();     // IsSpanned(ArchiveName) > 1
  virtual bool IsSpannedSFXArchive();  // IsSpanned(SFXArchiveName) > 1
  // LZLocateArchive(SFXArchiveName) into the header buffer: the entry count
  // when an archive is appended, 0 for a plain archive, negative otherwise.
  virtual std::int32_t IsSFXArchive();
  // Listing and view of the archive appended to SFXArchiveName (the plain
  // ones when it carries none); ArchiveName and the engine's header offset
  // are as before afterwards, on every way out.
  virtual std::int32_t ListSFXArchive();
  virtual std::int32_t ViewSFXArchive();
  virtual std::int32_t CreateSFXArchive();
  virtual std::int32_t DecompressSFXArchive();
  // Into ArchiveName (SFXArchiveName with extension ".LZA" when empty).
  virtual std::int32_t ExtractArchiveFromSFX();

  // ---- Default event handlers ------------------------------------------------
  virtual TLZReply ConfirmOverwrite(TZorelLZObj& sender, const TLZReportRec& current_record,
                                    const TLZReportRec& existing_record);  // 1
  // Asks the user with a description of the entry: Yes 1, No 0, Cancel 2,
  // anything else 1.  Not assigned by default.
  virtual TLZReply ConfirmOverwriteW(TZorelLZObj& sender, const TLZReportRec& current_record,
                                     const TLZReportRec& existing_record);
  virtual std::int32_t ProgressReport(TZorelLZObj& sender, const TLZReportRec& current_record,
                                      std::int32_t number);  // 1
  // Empties the name and answers false.
  virtual bool RequestNewName(TZorelLZObj& sender, TLZString& new_file_name);
  virtual std::int32_t ListArchiveContents(TZorelLZObj& sender, const TLZReportRec& current_record,
                                           std::int32_t number);  // 0
  virtual std::int32_t ViewArchiveContents(TZorelLZObj& sender, PZorelLZArchiveHeader archive_info,
                                           std::int32_t current_num);               // 0
  virtual std::int32_t SetPassWord(TZorelLZObj& sender, TLZArchiveHeader& header);  // -1000
  virtual std::int32_t CheckPassWord(TZorelLZObj& sender, const TLZArchiveHeader& header,
                                     std::int32_t code);  // -2000: refused
  // The engine's file-match function's answer.
  virtual bool MatchFileName(TZorelLZObj& sender, const TLZString& file_spec,
                             const TLZString& the_fname, std::int32_t archive_id);
  // Asks for the disk until the user says No (1) or says Yes with enough
  // free space in the drive (0; reading passes needed_space -1: no check).
  virtual std::int32_t PromptForDisk(TZorelLZObj& sender, std::int32_t disk_num,
                                     std::int32_t total_parts, std::int32_t needed_space,
                                     const char* drive);

  // During a view: the path of entry `id` inside the archive; otherwise "".
  void FullLZName(std::int32_t id, TLZString& name) const;

  // ---- Engine context ------------------------------------------------------
  // The context of this instance's operations.
  TLZContext& Context() { return *context_; }
  // Entries coded at once by creation, extraction and testing: 1 (the
  // default) is serial; more use that many threads, with the same archives,
  // files and events as one.
  void SetJobs(std::int32_t jobs);
  std::int32_t GetJobs() const;
  // Whether extracted files are flushed to the device before they take
  // their names, their folders once at the end: true (the default) keeps
  // them through a crash at the cost of speed.
  void SetDurable(bool durable) { context_->Durable = durable; }
  bool GetDurable() const { return context_->Durable; }

  // The instance's answers to the engine's calls: its event with itself as
  // sender, or without the event the answer that lets the engine go on by
  // itself (question 1, report 1, rename false, listing 0, view 0,
  // passwords -1000, disk prompt 1).  The report answers 1 whatever the
  // event says; listing and view forget the protection answer afterwards.
  TLZReply ForwardQuestion(const TLZReportRec& current, const TLZReportRec& existing);
  std::int32_t ForwardReport(TLZReportRec& record, std::int32_t code);
  bool ForwardRename(std::string& name);
  std::int32_t ForwardList(TLZReportRec& record, std::int32_t number);
  std::int32_t ForwardView(PZorelLZArchiveHeader directory, std::int32_t number);
  std::int32_t ForwardSetPassWord(TLZArchiveHeader& header);
  std::int32_t ForwardCheckPassWord(const TLZArchiveHeader& header, std::int32_t code);
  std::int32_t ForwardPromptForDisk(std::int32_t disk_num, std::int32_t total_parts,
                                    std::int32_t needed_space, const char* drive);

  // ---- Read-only state -------------------------------------------------------
  bool GetDearchiveRecurse() const { return DearchiveRecurse_; }
  bool GetCheckFileCRCs() const { return CheckFileCRCs_; }
  bool GetExtractUnExpanded() const { return ExtractUnExpanded_; }
  TLZCompressionChoices GetCompressionChoice() const { return CompressionChoice_; }
  const TLZArchiveHeader& ArchiveHeader() const { return header_buffer_; }
  const TLZString& CommentPath() const { return comment_path_; }
  // The directory of the running view; nullptr outside a view.
  PZorelLZArchiveHeader Directory() const { return directory_.get(); }
  // The engine's file-match function last fetched by MatchFileName.
  TLZFileMatchProc FileMatchProc() const { return file_match_; }

  // ---- Events (assignable; an empty event gets the engine's default) ---------
  TLZQuestionFuncEx OnConfirmOverwrite;
  TLZReportProcEx OnProgressReport;
  TLZRenameFuncEx OnSeekToReName;
  TViewArchiveProctypeEx OnViewArchive;
  TLZReportProcEx OnListArchive;
  TLZSetPassWordFuncEx OnRequestPassWord;
  TLZCheckPassWordFuncEx OnCheckPassWord;
  TLZFileMatchFuncEx OnMatchFileName;
  TLZSpanPromptProcEx OnPromptForDisk;

 private:
  void Reset();
  void AssignDefaultHandlers();
  void InstallContextHooks();
  // Hooks that call this instance's Forward... functions.
  TLZQuestionHook QuestionHook();
  TLZReportHook ReportHook();
  TLZRenameHook RenameHook();
  std::int32_t PlainListing();
  std::int32_t PlainView();
  std::int32_t ViewEntries(std::int32_t entry_count);
  // SpanDiskCount := the part count when the header buffer is spanned.
  void CountSpannedParts();
  std::int32_t WithSFXSwitch(std::int32_t (TZorelLZObj::*plain)());
  std::int32_t ExtractSelected(const TLZString& mask);
  std::int32_t CreateSpanned(const TLZString& target, bool self_extracting);

  std::unique_ptr<TLZContext> context_;
  TLZSpanInfo span_info_;
  std::unique_ptr<TZorelLZArchiveHeader> directory_;
  TLZRecurse RecurseDirs_ = LZNoRecurse;
  bool MakeSFXArchive_ = false;
  bool DearchiveRecurse_ = true;
  bool CheckFileCRCs_ = false;
  bool ExtractUnExpanded_ = false;
  TLZCompressionChoices CompressionChoice_ = LZMaxCompression;
  TLZString SFXArchiveName_;
  TLZString SFXStub_;
  TLZString ExtensionstoStore_;
  TLZString ArchiveName_;
  TLZString DeArchiveTargetDirectory_;
  TLZString ArchiveFileSpecs_;
  TLZString DeArchiveMask_ = "*.*";
  TLZString InputFileName_;
  TLZString OutputFileName_;
  std::int32_t SpanDiskCount_ = 0;
  std::int32_t SpanDiskSize_ = 0;
  bool SpanDisks_ = false;
  LZFloppyDiskTypes SpanDiskType_ = FloppyDisk1440;
  TLZSetPassWordProc set_password_hook_ = nullptr;
  TLZCheckPassWordProc check_password_hook_ = nullptr;
  TLZFileMatchProc file_match_ = nullptr;
  TLZArchiveHeader header_buffer_;
  TLZString comment_path_;
};

// The most recently created instance, nullptr after any instance is
// destroyed.  Only the functions below go through it; no instance's
// operations do.
TZorelLZObj* CurrentLZObj();

// Plain functions for programs that install hooks in the default context:
// each passes the call on to CurrentLZObj()'s Forward... function, and
// without an instance answers as an instance without the event would.
TLZReply LZForwardQuestion(const TLZReportRec& current, const TLZReportRec& existing);
std::int32_t LZForwardReport(TLZReportRec& record, std::int32_t code);
bool LZForwardRename(std::string& name);
std::int32_t LZForwardList(TLZReportRec& record, std::int32_t number);
std::int32_t LZForwardView(PZorelLZArchiveHeader directory, std::int32_t number);
std::int32_t LZForwardSetPassWord(TLZArchiveHeader& header);
std::int32_t LZForwardCheckPassWord(const TLZArchiveHeader& header, std::int32_t code);
std::int32_t LZForwardPromptForDisk(std::int32_t disk_num, std::int32_t total_parts,
                                    std::int32_t needed_space, const char* drive);

// The text ConfirmOverwriteW shows for an entry about to replace a file.
std::string LZOverwriteQuestionText(const TLZReportRec& current_record,
                                    const TLZReportRec& existing_record);

}  // namespace zorellz
ZORELLZ_API_END
