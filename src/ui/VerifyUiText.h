#pragma once

#include <QString>

// The texts of "Verify against..." in the list of the catalogue's sources,
// its progress window and its result window. "%1", "%2": QString::arg.
namespace VerifyUiText {

inline constexpr char kAction[] = "&Verify against...";
inline constexpr char kChooseFolder[] = "Verify Against a Folder or Medium";
inline constexpr char kCaption[] = "Verify";
inline constexpr char kProgressTitle[] = "Verifying";
inline constexpr char kProgress[] = "Checking %1 against its report %2...";
inline constexpr char kCancelling[] = "Cancelling...";
inline constexpr char kCancel[] = "Cancel";
inline constexpr char kResultTitle[] = "Verified: %1";
inline constexpr char kReportAndFolder[] = "Report: %1\nChecked: %2";
inline constexpr char kShow[] = "&Show:";
inline constexpr char kAllKinds[] = "All kinds";
inline constexpr char kShown[] = "%1 of %2 lines shown";
inline constexpr char kColumns[] = "Kind\tPath\tDetail";
inline constexpr char kCopy[] = "&Copy";
inline constexpr char kSave[] = "&Save...";
inline constexpr char kClose[] = "Close";
inline constexpr char kSaveTitle[] = "Save the Check";
inline constexpr char kSaveFilter[] = "Text files (*.txt);;All files (*)";
inline constexpr char kSaveSuffix[] = "-verify.txt";
inline constexpr char kNotSaved[] = "The check could not be saved to %1: %2";
inline constexpr char kNotChecked[] = "The check could not be made: %1";
inline constexpr char kHelpTopic[] = "find.htm#verify";

inline QString Of(const char* text) { return QString::fromUtf8(text); }

} // namespace VerifyUiText
