#pragma once

#include <string>

// Every text the user sees, keyed by its resource number. Formats keep their
// printf spelling ("%Ld" prints a 64-bit integer here).
enum StringId : int {
    IDS_ABOUTBOX = 101,
    IDS_HELP_TABBED = 1014, // help topics of the Options dialog, one per control id
    IDS_HELP_SUBFLDR = 1024,
    IDS_APP_TITLE = 57344,
    IDS_IDLE = 57345,
    IDS_UNSAVED_EXIT = 57346,
    IDS_WARNING = 57347,
    IDS_LOG_LINE = 57348,
    IDS_NO_FILES = 57349,
    IDS_DROP_FILES = 57350,
    IDS_CAN_EXPORT = 57351,
    IDS_LISTING_TABBED = 57352,
    IDS_LISTING_PADDED = 57353,
    IDS_ARCHIVE_LINE = 57354,
    IDS_PROCESSING = 57355,
    IDS_EXPORT_FILTER = 57356,
    IDS_EXPORT_TITLE = 57357,
    IDS_EXPORT_ERROR = 57358,
    IDS_EXPORT_PROGRESS = 57359,
    IDS_FOLDER_EMPTY = 57360,
    IDS_SUMMARY_TABBED = 57361,
    IDS_SUMMARY_PADDED = 57362,
    IDS_NO_LOG = 57363,
    IDS_VIEW_LOG_ERROR = 57364,
    IDS_SORTING_FIRST = 57365, // four spinner texts follow in order
    IDS_SECTION_OPTIONS = 57369,
    IDS_KEY_EXPORT_DATA = 57370,
    IDS_KEY_AUTO_VIEW = 57371,
    IDS_KEY_FORMAT_FILE_SIZE = 57372,
    IDS_KEY_EXCLUDE_EMPTY = 57373,
    IDS_KEY_OUTPUT_FORMAT = 57374,
    IDS_KEY_PROCESS_TYPE = 57375,
    IDS_SECTION_ARCHIVE = 57376,
    IDS_KEY_MEDIA_NUMBER = 57377,
    IDS_KEY_ARCHIVE_NUMBER = 57378,
    IDS_KEY_MULTIPLE_ARCHIVE = 57379,
    IDS_SECTION_EXPORT = 57380,
    IDS_KEY_DEFAULT_DIR = 57381,
    IDS_FOLDER_SIZE = 57382,
    IDS_UNSAVED_OVERWRITE = 57383,
    IDS_ALREADY_RUNNING = 57386,
    IDS_KEY_DIRECTORY_ONLY = 57400,
    IDS_KEY_EXCLUDE_HIDDEN = 57402,
    IDS_KEY_EXCLUDE_SUBFOLDERS = 57404,
    IDS_HELP_TITLE = 57410, // the desktop program's help window and Save As
    IDS_HELP_BACK = 57411,
    IDS_HELP_FORWARD = 57412,
    IDS_HELP_CONTENTS = 57413,
    IDS_HELP_MISSING = 57414,
    IDS_FOLDER_MISSING = 57415,
    IDS_UNNAMED_FILE = 61446,
    IDS_OUT_OF_MEMORY = 61447,
    IDS_ENTER_INTEGER = 61712,
    IDS_FILE_ERROR_FIRST = 61856, // plus the cause of a file error, 0 to 14
    IDS_SIZE_ERROR_FIRST = 58700, // plus an ESizeError, 1 to 5 (media planner)
    IDS_MEDIA_RULE_ERROR_FIRST = 58710, // plus an EMediaRuleError, 1 to 4
    IDS_PLAN_TOO_LARGE = 58720, // a file left out of the plan, with its path
    IDS_PLAN_LINE_FEED = 58721, // a name that a path list cannot hold, with its path
    IDS_PLAN_USAGE = 58730, // stowlist-cli plan --help; 58730 to 58759 belong to the plan command
    IDS_PLAN_MEDIUM_LINE = 58731,   // tag, items, bytes used, bytes free
    IDS_PLAN_TOTAL_LINE = 58732,    // media, bytes used
    IDS_PLAN_MEDIUM_TAG = 58733,    // media type, medium number, archive number
    IDS_PLAN_PATH_LIST_NAME = 58734, // media type, medium number
    IDS_PLAN_BAD_USAGE = 58735,     // the reason
    IDS_PLAN_NEEDS_VALUE = 58736,   // the option
    IDS_PLAN_TAKES_NO_VALUE = 58737,
    IDS_PLAN_UNKNOWN_OPTION = 58738,
    IDS_PLAN_BAD_SIZE = 58739,      // the option, the reason
    IDS_PLAN_BAD_NUMBER = 58740,    // the option, the text
    IDS_PLAN_BAD_MEDIA_TYPE = 58741, // the text
    IDS_PLAN_NO_PATH = 58742,
    IDS_PLAN_BAD_STORED_TYPE = 58743, // the stored text, the settings file
    IDS_PLAN_CANNOT_READ = 58744,   // a path, the reason
    IDS_PLAN_CANNOT_WRITE = 58745,  // a path, the reason
    IDS_PLAN_NO_WORKING_FOLDER = 58746, // the reason
    IDS_PLAN_SAME_FILE = 58747,
    IDS_PLAN_NOT_CATALOGUED = 58748, // the reason
    IDS_PLAN_NUMBERS_EXHAUSTED = 58749, // the first medium number, the number of media
    IDS_PLAN_MESSAGE = 58750,       // any message of the plan command on standard error
    IDS_PLAN_STANDARD_OUTPUT = 58751,
    IDS_MANIFEST_FAULT_FIRST = 58800, // plus a ManifestFault, 1 to 5 (checksum manifests)
    IDS_MANIFEST_FAULT_LINE = 58810,  // a refused manifest: line number and reason
    IDS_CHECKSUMS_PROGRESS = 58820,   // 58820 to 58839: checksums of a drop
    IDS_CHECKSUMS_CANCEL = 58821,
    IDS_CHECKSUMS_UNREADABLE = 58822,     // the number of files not read
    IDS_CHECKSUMS_UNREADABLE_ONE = 58823, // the path, the reason
    IDS_CHECKSUMS_NOT_WRITTEN = 58824,    // the manifest's path, the reason
    IDS_CHECKSUMS_OPTION = 58825,
    IDS_CHECKSUMS_TITLE = 58826,
    IDS_HELP_CHECKSUMS = 58827, // the Options dialog's check box: its control id and help topic
};

// The text of an entry; an id without an entry gives an empty text.
const std::string& LoadString(int id);
