#include "zorellz/engine/ResultText.h"

#include "zorellz/engine/ZrlTypes.h"

namespace zorellz {

std::string LZReadResultCause(std::int64_t result) {
  switch (result) {
    case kLZNoFile:
      return "cannot be read";
    case kLZCannotOpenSFX:
    case kLZCannotOpenArchive:
      return "cannot be opened";
    case kLZCannotSeekEmbedded:
      return "the appended archive cannot be reached";
    case kLZCannotCreateOutput:
      return "cannot be written";
    case kLZSameInputOutput:
      return "would be written over itself";
    case kLZPathThroughLink:
      return "a folder on its path is a link";
    case kLZCannotCreateFolder:
      return "the target folder cannot be created";
    case kLZNotAnArchive:
      return "not an archive (none at its start, none through a trailer)";
    case kLZArchiveMissing:
      return "no such file";
    case kLZNotRequestedFile:
      return "its compressed form holds another file";
    case kLZNoCodecMemory:
      return "not enough memory for the codec";
    case kLZInputEndedEarly:
      return "compressed data end before their end code";
    case kLZCannotOpenPart:
      return "a part of the spanned archive cannot be opened";
    case kLZPromptStopped:
      return "a part of the spanned archive is missing";
    case kLZPartTooShort:
      return "a part of the spanned archive is shorter than its trailer";
    case kLZWrongPartStopped:
      return "a part of the spanned archive is not the one expected";
    case kLZCannotCreateJoinFile:
      return "no work file for joining the parts can be created in the temporary folder";
    case kLZJoinedArchiveInvalid:
      return "its parts do not join into a valid archive";
    case kLZNameNotStorable:
      return "name too long, or refused by the archive name rule";
    case kLZInputTooLarge:
      return "too large for the format (2 GiB at most)";
    case kLZNoFileMatches:
      return "no file matches";
    case kLZReadDirectoryFailed:
      return "the file ends inside the archive's directory";
    case kLZDeclinedOverwrite:
      return "already exists; kept";
    case kLZAbortedOverwrite:
      return "stopped at your request";
    case kLZCRCMismatch:
      return "damaged: the size or the CRC-32 of the data is not the one recorded";
    case kLZNoArchiveInFile:
      return "no archive is appended to it";
    case kLZProtected:
      return "is protected";
    case kLZDamagedDirectory:
      return "the archive's directory is damaged";
    case kLZSpannedEmbedded:
      return "the appended archive is spanned over several parts";
    default:
      return "failed with result " + std::to_string(result);
  }
}

}  // namespace zorellz
