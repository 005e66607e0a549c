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
        {58701, "no size given"},
        {58702, "a size must start with a digit"},
        {58703, "a decimal point needs digits after it, and a unit"},
        {58704, "unknown unit: use k, M, G, T (powers of 1000) or KiB, MiB, GiB, TiB (powers of 1024)"},
        {58705, "more bytes than 64 bits hold"},
        {58711, "unknown media type: use CD, DAT, DLT, JAZ or ZIP"},
        {58712, "this media type needs --capacity"},
        {58713, "the block size must be at least 1"},
        {58714, "the reserve leaves less than one block of the capacity"},
        {IDS_PLAN_TOO_LARGE, "%s: larger than a medium, left out"},
        {IDS_PLAN_LINE_FEED, "%s: a line feed in the name cannot be held in a path list, left out"},
        {IDS_PLAN_USAGE,
         "Usage: stowlist-cli plan [OPTION]... PATH...\n"
         "Split the PATHs over as few media as possible, taken as a drop takes them,\n"
         "and print each medium's items. Options not given take their values from the\n"
         "settings file.\n"
         "\n"
         "      --media-type TYPE    CD, DAT, DLT, JAZ or ZIP, any case (default: stored MediaType)\n"
         "      --capacity SIZE      bytes per medium: a number, or with k, M, G, T (powers of\n"
         "                           1000) or KiB, MiB, GiB, TiB (default for CD: 737280000)\n"
         "      --block-size N       bytes per block (default: 2048 for CD, else 512)\n"
         "      --reserve SIZE       kept free on every medium (default: 0)\n"
         "      --media-number N     the first medium's number (default: stored MediaNumber)\n"
         "      --multiple-archives | --single-archive   each dropped folder an archive\n"
         "      --path-lists DIR     write each medium's graft points to DIR/TAG.path-list\n"
         "                           (xorriso -as mkisofs and genisoimage -graft-points -path-list)\n"
         "  -o, --output REPORT      write the archive report of the plan to REPORT, add it to\n"
         "                           the catalogue and advance the stored MediaNumber\n"
         "      --log FILE           write its archive log to FILE\n"
         "      --json               one JSON object per medium on standard output\n"
         "      --settings FILE      settings file (default: the desktop program's)\n"
         "      --catalogue FILE     --no-catalogue\n"
         "      --exclude-hidden | --include-hidden   (ExcludeHiddenSystemInfo)\n"
         "      --no-subfolders | --subfolders   (ExcludeSubFolders)\n"
         "      --grouping | --no-grouping       thousands separators in the numbers\n"
         "  -h, --help\n"
         "\n"
         "Exit status: 0 plan made; 1 something did not fit (named on standard error, the\n"
         "rest planned); 2 bad usage; 3 a PATH that does not exist, or a file that cannot\n"
         "be written.\n"},
        {IDS_PLAN_MEDIUM_LINE, "%s: %s items, %s bytes used, %s bytes free"},
        {IDS_PLAN_TOTAL_LINE, "Total: %s media, %s bytes"},
        {IDS_PLAN_MEDIUM_TAG, "%s%02d-%02d"},
        {IDS_PLAN_PATH_LIST_NAME, "%s%02d.path-list"},
        {IDS_PLAN_BAD_USAGE, "stowlist-cli plan: %s (stowlist-cli plan --help lists the options)"},
        {IDS_PLAN_NEEDS_VALUE, "option '%s' needs a value"},
        {IDS_PLAN_TAKES_NO_VALUE, "option '%s' takes no value"},
        {IDS_PLAN_UNKNOWN_OPTION, "unknown option '%s'"},
        {IDS_PLAN_BAD_SIZE, "option '%s': %s"},
        {IDS_PLAN_BAD_NUMBER, "option '%s' needs a whole number, not '%s'"},
        {IDS_PLAN_BAD_MEDIA_TYPE, "unknown media type '%s' (CD, DAT, DLT, JAZ or ZIP)"},
        {IDS_PLAN_NO_PATH, "no PATH given"},
        {IDS_PLAN_BAD_STORED_TYPE,
         "the stored media type '%s' in '%s' is none of CD, DAT, DLT, JAZ and ZIP: give --media-type"},
        {IDS_PLAN_CANNOT_READ, "cannot read '%s': %s"},
        {IDS_PLAN_CANNOT_WRITE, "cannot write '%s': %s"},
        {IDS_PLAN_NO_WORKING_FOLDER, "cannot find the working folder: %s"},
        {IDS_PLAN_SAME_FILE, "the report and the log cannot be the same file"},
        {IDS_PLAN_NOT_CATALOGUED, "warning: the report was not added to the catalogue: %s"},
        {IDS_PLAN_NUMBERS_EXHAUSTED, "%d media from number %d would pass the largest medium number"},
        {IDS_PLAN_MESSAGE, "stowlist-cli plan: %s"},
        {IDS_PLAN_STANDARD_OUTPUT, "standard output"},
        {58801, "no SHA-256 checksum (64 hexadecimal digits) at the start"},
        {58802, "the checksum is not followed by two spaces or by a space and \"*\""},
        {58803, "no file name after the checksum"},
        {58804, "a backslash other than \\\\, \\n or \\r in an escaped file name"},
        {58805, "a NUL byte in the line"},
        {IDS_MANIFEST_FAULT_LINE, "line %lld: %s"},
        {IDS_FIND_TITLE, "Find in Reports"},
        {IDS_FIND_PLACEHOLDER, "Name contains..."},
        {IDS_FIND_KINDS_ALL, "Files and folders"},
        {IDS_FIND_KINDS_FILES, "Files"},
        {IDS_FIND_KINDS_FOLDERS, "Folders"},
        {IDS_FIND_MEDIUM_PLACEHOLDER, "Medium starts with..."},
        {IDS_FIND_REPORTS_BUTTON, "&Reports..."},
        {IDS_FIND_COLUMNS, "Name\tSize\tDate\tTime\tMedium\tFolder\tReport"},
        {IDS_FIND_HITS, "%s hits in %s"},
        {IDS_FIND_ONE_HIT, "1 hit in %s"},
        {IDS_FIND_NO_HITS, "No hits in %s"},
        {IDS_FIND_SEARCHING, "Searching..."},
        {IDS_FIND_READY, "Type part of a name; * ? [ make a pattern of the whole name"},
        {IDS_FIND_FAILED, "The catalogue cannot be read: %s"},
        {IDS_FIND_SORT_LIMIT, "%s hits in %s, shown by medium, folder and name: up to %s hits can be sorted"},
        {IDS_FIND_OPEN_REPORT, "&Open report"},
        {IDS_FIND_COPY_LINE, "&Copy line"},
        {IDS_FIND_COPY_PATH, "Copy report &path"},
        {IDS_FIND_SHOW_FOLDER, "&Show report folder"},
        {IDS_FIND_READING, "Reading reports (%s of %s)..."},
        {IDS_FIND_READ_DONE, "The catalogue holds %s reports"},
        {IDS_FIND_HELP_TOPIC, "find.htm"},
        {IDS_SOURCES_TITLE, "Reports in the Catalogue"},
        {IDS_SOURCES_COLUMNS, "State\tKind\tEntries\tPath"},
        {IDS_SOURCE_STATE_FIRST, "ok"},
        {58925, "changed"},
        {58926, "missing"},
        {58927, "unreadable"},
        {IDS_SOURCE_KIND_FIRST, "report"},
        {58929, "log"},
        {58930, "folder"},
        {IDS_SOURCES_ADD_FOLDER, "Add &folder..."},
        {IDS_SOURCES_ADD_FILES, "Add f&iles..."},
        {IDS_SOURCES_REMOVE, "&Remove"},
        {IDS_SOURCES_REFRESH, "Re&fresh"},
        {IDS_SOURCES_ADD_REPORTS, "&Add every report that Stowlist writes"},
        {IDS_SOURCES_CLOSE, "&Close"},
        {IDS_SOURCES_CHOOSE_FOLDER, "Add a Folder of Reports"},
        {IDS_SOURCES_CHOOSE_FILES, "Add Reports"},
        {IDS_SOURCES_FILE_FILTER, "Reports and logs (*.txt *.log *.lst);;All files (*)"},
        {IDS_CATALOGUE_NOT_ADDED, "Not added to the catalogue: %s"},
        {IDS_FIND_REPORT_COUNT, "%s reports"},
        {IDS_FIND_ONE_REPORT, "1 report"},
        {IDS_CATALOGUE_WARNING, "Catalogue: %s"},
        {IDS_CHECKSUMS_PROGRESS, "Checksums: %d%%"},
        {IDS_CHECKSUMS_CANCEL, "Cancel"},
        {IDS_CHECKSUMS_UNREADABLE, "%d files could not be read; the checksum manifest leaves them out:"},
        {IDS_CHECKSUMS_UNREADABLE_ONE, "cannot read %s: %s"},
        {IDS_CHECKSUMS_NOT_WRITTEN, "The checksum manifest %s could not be written: %s"},
        {IDS_CHECKSUMS_TITLE, "Checksums"},
        {IDS_HELP_CHECKSUMS, "options.htm#checksums"},
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
