#include "StringTable.h"

#include <unordered_map>

namespace {

const std::unordered_map<int, std::string>& Table() {
    static const std::unordered_map<int, std::string> table = {
        {IDS_ABOUTBOX, "&About Stowlist..."},
        {1014, "options.htm#tabbed"},
        {1015, "options.htm#padded"},
        {1016, "options.htm#autoview"},
        {1017, "options.htm#exclude"},
        {1018, "options.htm#format"},
        {1019, "options.htm#archive"},
        {1020, "options.htm#dirlist"},
        {1021, "options.htm#export"},
        {1022, "options.htm#dironly"},
        {1023, "options.htm#hidsys"},
        {1024, "options.htm#subfldr"},
        {IDS_APP_TITLE, "Stowlist"},
        {IDS_IDLE, "Idle"},
        {IDS_UNSAVED_EXIT, "You have unsaved data - exit anyway?"},
        {IDS_WARNING, "Warning!"},
        {IDS_LOG_LINE, "%s%02d-%02d\t%s"},
        {IDS_NO_FILES, "No files to process!"},
        {IDS_DROP_FILES, "Drop Files"},
        {IDS_CAN_EXPORT, "Data can now be exported"},
        {IDS_LISTING_TABBED, "%s\t%s\t%s\t%s\t%s"},
        {IDS_LISTING_PADDED, "%-15s  %20s  %8s  %11s  %s"},
        {IDS_ARCHIVE_LINE, "%s\t%Ld\t%s\t%s\t%s%02d-%02d"},
        {IDS_PROCESSING, "Processing file: %d"},
        {IDS_EXPORT_FILTER, "Text files (*.txt)|*.txt||"},
        {IDS_EXPORT_TITLE, "Export Data"},
        {IDS_EXPORT_ERROR, "Error exporting data!"},
        {IDS_EXPORT_PROGRESS, "%3.0f%% Exported"},
        {IDS_FOLDER_EMPTY, "FOLDER IS EMPTY\n"},
        {IDS_SUMMARY_TABBED, "\nSummary: %s Folder(s), %s File(s)\t%s Bytes"},
        {IDS_SUMMARY_PADDED, "\nSummary: %s Folder(s), %s File(s)  %20s Bytes"},
        {IDS_NO_LOG, "No log information to view!"},
        {IDS_VIEW_LOG_ERROR, "View Log Error!"},
        {57365, "Sorting: /"},
        {57366, "Sorting: -"},
        {57367, "Sorting: \\"},
        {57368, "Sorting: |"},
        {IDS_SECTION_OPTIONS, "Options"},
        {IDS_KEY_EXPORT_DATA, "ExportData"},
        {IDS_KEY_AUTO_VIEW, "AutoView"},
        {IDS_KEY_FORMAT_FILE_SIZE, "FormatFileSize"},
        {IDS_KEY_EXCLUDE_EMPTY, "ExcludeEmptyFolders"},
        {IDS_KEY_OUTPUT_FORMAT, "OutputFormat"},
        {IDS_KEY_PROCESS_TYPE, "ProcessType"},
        {IDS_SECTION_ARCHIVE, "Archive Options"},
        {IDS_KEY_MEDIA_NUMBER, "MediaNumber"},
        {IDS_KEY_ARCHIVE_NUMBER, "ArchiveNumber"},
        {IDS_KEY_MULTIPLE_ARCHIVE, "MultipleArchive"},
        {IDS_SECTION_EXPORT, "Export Dialogue"},
        {IDS_KEY_DEFAULT_DIR, "DefaultDir"},
        {IDS_FOLDER_SIZE, "<FOLDER>"},
        {IDS_UNSAVED_OVERWRITE, "You have unsaved data!  Overwrite?"},
        {IDS_ALREADY_RUNNING, "Stowlist Utility is already running!"},
        {IDS_KEY_DIRECTORY_ONLY, "DirectoryOnly"},
        {IDS_KEY_EXCLUDE_HIDDEN, "ExcludeHiddenSystemInfo"},
        {IDS_KEY_EXCLUDE_SUBFOLDERS, "ExcludeSubFolders"},
        {IDS_HELP_TITLE, "Stowlist Utility Help"},
        {IDS_HELP_BACK, "Back"},
        {IDS_HELP_FORWARD, "Forward"},
        {IDS_HELP_CONTENTS, "Contents"},
        {IDS_HELP_MISSING, "Help is not available: the help file %s could not be opened."},
        {IDS_FOLDER_MISSING, "%s\nThis folder does not exist. Check the folder name and try again."},
        {IDS_UNNAMED_FILE, "an unnamed file"},
        {IDS_OUT_OF_MEMORY, "Out of memory."},
        {IDS_ENTER_INTEGER, "Please enter an integer."},
        {61856, "No error occurred."},
        {61857, "An unknown error occurred while accessing %1."},
        {61858, "%1 was not found."},
        {61859, "%1 contains an invalid path."},
        {61860, "%1 could not be opened because there are too many open files."},
        {61861, "Access to %1 was denied."},
        {61862, "An invalid file handle was associated with %1."},
        {61863, "%1 could not be removed because it is the current directory."},
        {61864, "%1 could not be created because the directory is full."},
        {61865, "Seek failed on %1"},
        {61866, "A hardware I/O error was reported while accessing %1."},
        {61867, "A sharing violation occurred while accessing %1."},
        {61868, "A locking violation occurred while accessing %1."},
        {61869, "Disk full while accessing %1."},
        {61870, "An attempt was made to access %1 past its end."},
    };
    return table;
}

} // namespace

const std::string& LoadString(int id) {
    static const std::string empty;
    const auto& table = Table();
    auto it = table.find(id);
    return it == table.end() ? empty : it->second;
}
