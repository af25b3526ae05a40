#include "app/console_args.h"

#include <cwchar>

namespace {

constexpr char kUsage[] =
    "Usage: Dunewright --csv FILE [--json FILE] [--report FILE] [--min-mb N] [--depth N]\n"
    "                  [--find TEXT] [--exclude] [--on-disk] [--no-count] [--accept-terms] FOLDER\n"
    "\n"
    "Scans FOLDER with no window and writes every folder that passes the filters.\n"
    "  --csv FILE      the folders as CSV (UTF-8, exact bytes of both measures)\n"
    "  --json FILE     the same as a JSON document\n"
    "  --report FILE   the text report, as Save Report writes it\n"
    "                  (at least one of the three; FILE - is standard output)\n"
    "  --min-mb N      only folders whose branch or node size is at least N MB\n"
    "  --depth N       only folders down to level N (FOLDER itself is level 1)\n"
    "  --find TEXT     only folders whose path contains TEXT (* and ? make it a pattern)\n"
    "  --exclude       with --find: only the folders it does not find\n"
    "  --on-disk       --min-mb and the report's sizes count the space on disk\n"
    "  --no-count      skip the counting pass\n"
    "  --accept-terms  accept the disclaimer for this version (TermsAccepted.txt)\n"
    "  --help, /?      this text\n"
    "\n"
    "Exit code: 0 complete, 1 usage error or terms not accepted, 2 incomplete\n"
    "(stopped with Ctrl+C, or a listing cut short), 3 output not written.\n"
    "Dunewright alone, or with a folder alone, opens the window.\n";

bool IsOption(const std::wstring& argument)
{
    return argument.rfind(L"--", 0) == 0 || argument == L"/?";
}

// A whole number of decimal digits that fits in 31 bits.
bool ReadNumber(const std::wstring& text, int32_t& value)
{
    if (text.empty() || text.size() > 10)
        return false;
    int64_t number = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return false;
        number = number * 10 + (c - L'0');
    }
    if (number > INT32_MAX)
        return false;
    value = static_cast<int32_t>(number);
    return true;
}

ConsoleCommand Refused(std::wstring error)
{
    ConsoleCommand command;
    command.route = ConsoleRoute::Usage;
    command.error = std::move(error);
    return command;
}

}  // namespace

const char* ConsoleUsage()
{
    return kUsage;
}

ConsoleCommand ParseConsoleArguments(const std::vector<std::wstring>& arguments)
{
    ConsoleCommand command;
    // The Scan Options' defaults, but for the size filter: a script gets
    // every folder unless it asks for less.
    command.options = DefaultScanOptions();
    command.options.LimitSize = 0;

    if (arguments.empty() || (arguments.size() == 1 && !IsOption(arguments[0]) && arguments[0] != kStandardOutput)) {
        command.route = ConsoleRoute::Window;
        if (!arguments.empty())
            command.folder = arguments[0];
        return command;
    }

    bool sawMinMb = false, sawDepth = false, sawFind = false, sawExclude = false, sawOnDisk = false,
         sawNoCount = false, help = false;
    bool sawFolder = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        if (!IsOption(argument)) {
            if (sawFolder)
                return Refused(L"one folder only: \"" + command.folder + L"\" and \"" + argument + L"\"");
            sawFolder = true;
            command.folder = argument;
            continue;
        }
        if (argument == L"--help" || argument == L"/?") {
            help = true;
            continue;
        }
        // A flag given twice is refused like a value given twice.
        auto flag = [&](bool& seen) {
            if (seen)
                return false;
            seen = true;
            return true;
        };
        if (argument == L"--exclude" || argument == L"--on-disk" || argument == L"--no-count" ||
            argument == L"--accept-terms") {
            bool& seen = argument == L"--exclude"   ? sawExclude
                         : argument == L"--on-disk" ? sawOnDisk
                         : argument == L"--no-count" ? sawNoCount
                                                     : command.acceptTerms;
            if (!flag(seen))
                return Refused(argument + L" is given twice");
            continue;
        }
        const bool takesValue = argument == L"--csv" || argument == L"--json" || argument == L"--report" ||
                                argument == L"--min-mb" || argument == L"--depth" || argument == L"--find";
        if (!takesValue)
            return Refused(L"unknown option " + argument);
        if (i + 1 >= arguments.size())
            return Refused(argument + L" needs a value");
        const std::wstring& value = arguments[++i];
        if (argument == L"--csv" || argument == L"--json" || argument == L"--report") {
            std::wstring& file = argument == L"--csv" ? command.csv : argument == L"--json" ? command.json
                                                                                            : command.report;
            if (!file.empty())
                return Refused(argument + L" is given twice");
            if (value.empty())
                return Refused(argument + L" needs a file name");
            file = value;
        } else if (argument == L"--min-mb" || argument == L"--depth") {
            const bool size = argument == L"--min-mb";
            if (!flag(size ? sawMinMb : sawDepth))
                return Refused(argument + L" is given twice");
            if (!ReadNumber(value, size ? command.options.SizeLimit : command.options.DepthLimit))
                return Refused(argument + L" takes a whole number, not \"" + value + L"\"");
            (size ? command.options.LimitSize : command.options.LimitDepth) = 1;
        } else {
            if (!flag(sawFind))
                return Refused(L"--find is given twice");
            constexpr size_t kUnits = sizeof command.options.FindText / sizeof command.options.FindText[0];
            if (value.size() >= kUnits)
                return Refused(L"--find takes a text of at most 259 characters");
            std::wcscpy(command.options.FindText, value.c_str());
            command.options.Find = 1;
        }
    }
    if (help) {
        command.route = ConsoleRoute::Help;
        return command;
    }
    if (sawExclude && !sawFind)
        return Refused(L"--exclude needs --find");
    command.options.InvertFind = sawExclude ? 1 : 0;
    command.options.MeasureOnDisk = sawOnDisk ? 1 : 0;
    command.options.DontCount = sawNoCount ? 1 : 0;
    const bool output = !command.csv.empty() || !command.json.empty() || !command.report.empty();
    if (!sawFolder && command.acceptTerms && !output && !sawMinMb && !sawDepth && !sawFind && !sawExclude &&
        !sawOnDisk && !sawNoCount) {
        command.route = ConsoleRoute::AcceptTermsOnly;
        return command;
    }
    if (!sawFolder)
        return Refused(L"no folder to scan");
    if (!output)
        return Refused(L"nothing to write: give --csv, --json or --report");
    const int toStandardOutput = (command.csv == kStandardOutput) + (command.json == kStandardOutput) +
                                 (command.report == kStandardOutput);
    if (toStandardOutput > 1)
        return Refused(L"only one output can go to standard output (-)");
    command.route = ConsoleRoute::Scan;
    return command;
}
