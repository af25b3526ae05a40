#include "ui/largest_files_lists.h"

#include <algorithm>
#include <string>

#include "scan/row_order.h"

namespace {

int64_t TypeMeasure(const FileType& type, bool onDisk)
{
    return onDisk ? type.onDisk : type.bytes;
}

// Two texts in the order of the folder column; null-free views compared
// unit by unit, upper-cased as that column does.
int CompareTexts(std::wstring_view a, std::wstring_view b)
{
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const char16_t x = UpperUnit(a[i]);
        const char16_t y = UpperUnit(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

// Negative when the larger `a` goes first.
int CompareDescending(int64_t a, int64_t b)
{
    return a > b ? -1 : a < b ? 1 : 0;
}

std::wstring Digits(int64_t value)
{
    return std::to_wstring(value);
}

}  // namespace

std::wstring BranchPrefix(std::wstring_view branch)
{
    std::wstring prefix(branch);
    if (prefix.empty() || prefix.back() != L'\\')
        prefix += L'\\';
    return prefix;
}

std::vector<LargeFile> FilesOfBranch(const FileTallies& tallies, std::wstring_view branch, bool scanWhole,
                                     bool& exact)
{
    const std::wstring prefix = BranchPrefix(branch);
    std::vector<LargeFile> files;
    for (const LargeFile& file : tallies.largest)
        if (std::wstring_view(file.path).substr(0, prefix.size()) == prefix)
            files.push_back(file);
    exact = scanWhole && (files.size() >= kLargestFiles || tallies.largest.size() < kLargestFiles);
    return files;
}

std::vector<size_t> OrderOfFiles(const std::vector<LargeFile>& files, int column, bool onDisk)
{
    std::vector<size_t> order(files.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&files, column, onDisk](size_t left, size_t right) {
        const LargeFile& a = files[left];
        const LargeFile& b = files[right];
        int compared = 0;
        switch (column) {
        case kFileSize:
            compared = CompareDescending(a.bytes, b.bytes);
            break;
        case kFileOnDisk:
            compared = CompareDescending(a.onDisk, b.onDisk);
            break;
        case kFileName:
            compared = CompareTexts(a.Name(), b.Name());
            break;
        case kFileFolder:
            compared = CompareTexts(a.Folder(), b.Folder());
            break;
        default:
            break;
        }
        return compared != 0 ? compared < 0 : RanksBefore(a, b, onDisk);
    });
    return order;
}

std::vector<size_t> OrderOfTypes(const std::vector<FileType>& types, int column, bool onDisk)
{
    std::vector<size_t> order(types.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&types, column, onDisk](size_t left, size_t right) {
        const FileType& a = types[left];
        const FileType& b = types[right];
        int compared = 0;
        switch (column) {
        case kTypeName:
            compared = CompareTexts(a.name, b.name);
            break;
        case kTypeSize:
            compared = CompareDescending(a.bytes, b.bytes);
            break;
        case kTypeOnDisk:
            compared = CompareDescending(a.onDisk, b.onDisk);
            break;
        case kTypeFiles:
            compared = CompareDescending(a.files, b.files);
            break;
        case kTypeShare:
            compared = CompareDescending(TypeMeasure(a, onDisk), TypeMeasure(b, onDisk));
            break;
        default:
            break;
        }
        if (compared == 0)
            compared = CompareDescending(TypeMeasure(a, onDisk), TypeMeasure(b, onDisk));
        if (compared == 0)
            compared = CompareTexts(a.name, b.name);
        if (compared == 0)
            compared = a.name.compare(b.name);
        return compared != 0 ? compared < 0 : left < right;
    });
    return order;
}

int FirstFileColumn(bool onDisk)
{
    return onDisk ? kFileOnDisk : kFileSize;
}

int FirstTypeColumn(bool onDisk)
{
    return onDisk ? kTypeOnDisk : kTypeSize;
}

int SharePermille(int64_t part, int64_t whole)
{
    if (whole <= 0 || part <= 0)
        return 0;
    if (part >= whole)
        return 1000;
    // Exact while part * 1000 fits: below 9 PB. Larger totals lose their
    // low bits first, which a tenth of a percent never shows.
    while (whole > (INT64_MAX - whole) / 1000) {
        whole >>= 1;
        part >>= 1;
    }
    return static_cast<int>((part * 1000 + whole / 2) / whole);
}

std::wstring ShareText(int permille)
{
    return std::to_wstring(permille / 10) + L'.' + std::to_wstring(permille % 10) + L'%';
}

int ShareBarWidth(int permille, int cellWidth, int padding)
{
    const int room = cellWidth - 2 * padding;
    if (room <= 0 || permille <= 0)
        return 0;
    return static_cast<int>((static_cast<int64_t>(room) * std::min(permille, 1000) + 500) / 1000);
}

int64_t TotalOf(const std::vector<FileType>& types, bool onDisk)
{
    int64_t total = 0;
    for (const FileType& type : types)
        total += TypeMeasure(type, onDisk);
    return total;
}

std::wstring GroupedNumber(int64_t value)
{
    const std::wstring digits = Digits(value < 0 ? -value : value);
    std::wstring grouped;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += L',';
        grouped += digits[i];
    }
    return value < 0 ? L"-" + grouped : grouped;
}

std::wstring FileCellText(const LargeFile& file, int column)
{
    switch (column) {
    case kFileSize:
        return GroupedNumber(file.bytes);
    case kFileOnDisk:
        return GroupedNumber(file.onDisk);
    case kFileName:
        return std::wstring(file.Name());
    case kFileFolder:
        return std::wstring(file.Folder());
    default:
        return {};
    }
}

std::wstring TypeCellText(const FileType& type, int column, int64_t total, bool onDisk)
{
    switch (column) {
    case kTypeName:
        return type.name;
    case kTypeSize:
        return GroupedNumber(type.bytes);
    case kTypeOnDisk:
        return GroupedNumber(type.onDisk);
    case kTypeFiles:
        return GroupedNumber(type.files);
    case kTypeShare:
        return ShareText(SharePermille(TypeMeasure(type, onDisk), total));
    default:
        return {};
    }
}

std::wstring FileHeaderText(int column, bool marked)
{
    static const wchar_t* const names[kFileColumns] = {L"Size [bytes]", L"On disk [bytes]", L"Name", L"Folder"};
    if (column < 0 || column >= kFileColumns)
        return {};
    return (marked ? L"^ " : L"") + std::wstring(names[column]);
}

std::wstring TypeHeaderText(int column, bool marked)
{
    static const wchar_t* const names[kTypeColumns] = {L"Type", L"Size [bytes]", L"On disk [bytes]", L"Files",
                                                       L"Share"};
    if (column < 0 || column >= kTypeColumns)
        return {};
    return (marked ? L"^ " : L"") + std::wstring(names[column]);
}

std::wstring FilesAsText(const std::vector<LargeFile>& files, const std::vector<size_t>& rows)
{
    std::wstring text;
    for (size_t row : rows) {
        if (row >= files.size())
            continue;
        const LargeFile& file = files[row];
        text += Digits(file.bytes) + L'\t' + Digits(file.onDisk) + L'\t';
        text.append(file.Name());
        text += L'\t';
        text.append(file.Folder());
        text += L"\r\n";
    }
    return text;
}

std::wstring TypesAsText(const std::vector<FileType>& types, const std::vector<size_t>& rows, bool onDisk)
{
    const int64_t total = TotalOf(types, onDisk);
    std::wstring text;
    for (size_t row : rows) {
        if (row >= types.size())
            continue;
        const FileType& type = types[row];
        text += type.name + L'\t' + Digits(type.bytes) + L'\t' + Digits(type.onDisk) + L'\t' + Digits(type.files) +
                L'\t' + TypeCellText(type, kTypeShare, total, onDisk) + L"\r\n";
    }
    return text;
}
