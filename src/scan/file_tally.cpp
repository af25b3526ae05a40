#include "scan/file_tally.h"

#include <windows.h>

#include <algorithm>
#include <utility>

#include "scan/folder_measure.h"
#include "scan/row_order.h"
#include "scan/scan_rules.h"

namespace {

int64_t MeasureOf(const LargeFile& file, bool onDisk)
{
    return onDisk ? file.onDisk : file.bytes;
}

std::wstring LowerCased(const std::wstring& text)
{
    std::wstring lower(text.size(), L'\0');
    if (text.empty() || LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, text.data(),
                                      static_cast<int>(text.size()), lower.data(), static_cast<int>(lower.size()),
                                      nullptr, nullptr, 0) != static_cast<int>(text.size()))
        return text;
    return lower;
}

}  // namespace

bool RanksBefore(const LargeFile& a, const LargeFile& b, bool onDisk)
{
    const int64_t measureA = MeasureOf(a, onDisk);
    const int64_t measureB = MeasureOf(b, onDisk);
    if (measureA != measureB)
        return measureA > measureB;
    const int order = CompareFolderTexts(a.path.c_str(), b.path.c_str());
    if (order != 0)
        return order < 0;
    return a.path < b.path;  // the same but for letter case: still one order
}

std::wstring_view TypeKeyOf(std::wstring_view name, std::wstring& scratch)
{
    scratch.clear();
    const size_t dot = name.rfind(L'.');
    if (dot == std::wstring_view::npos || dot + 1 == name.size())
        return scratch;
    const std::wstring_view extension = name.substr(dot + 1);
    scratch.assign(extension.begin(), extension.end());
    bool plain = true;
    for (wchar_t& c : scratch) {
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
        else if (c >= 0x80)
            plain = false;
    }
    if (!plain)
        scratch = UpperCased(extension);
    return scratch;
}

void TallyCollector::AddFile(std::wstring_view folder, std::wstring_view name, int64_t bytes, int64_t onDisk)
{
    CountType(name, bytes, onDisk, 1);
    OfferLargest(folder, name, bytes, onDisk);
}

void TallyCollector::CountType(std::wstring_view name, int64_t bytes, int64_t onDisk, int64_t files)
{
    TypeKeyOf(name, key_);
    Count(key_, bytes, onDisk, files);
}

void TallyCollector::OfferLargest(std::wstring_view folder, std::wstring_view name, int64_t bytes, int64_t onDisk)
{
    const int64_t measure = onDisk_ ? onDisk : bytes;
    const bool full = heap_.size() >= kLargestFiles;
    if (full && measure < MeasureOf(heap_.front(), onDisk_))
        return;  // the common case: smaller than every file kept
    // The path is made in a buffer kept from call to call: in the measure on
    // disk most small files tie at one cluster, and a tie with the least
    // kept is mostly refused by its path alone.
    const bool separated = !folder.empty() && folder.back() == L'\\';
    path_.assign(folder.begin(), folder.end());
    if (!separated)
        path_ += L'\\';
    const size_t nameAt = path_.size();
    path_.append(name.begin(), name.end());
    if (full && measure == MeasureOf(heap_.front(), onDisk_)) {
        const int order = CompareFolderTexts(path_.c_str(), heap_.front().path.c_str());
        if (order > 0 || (order == 0 && !(path_ < heap_.front().path)))
            return;
    }
    LargeFile file;
    file.path = path_;
    file.nameAt = nameAt;
    file.bytes = bytes;
    file.onDisk = onDisk;
    Offer(std::move(file));
}

void TallyCollector::Offer(LargeFile&& file)
{
    const auto ranksBefore = [this](const LargeFile& a, const LargeFile& b) { return RanksBefore(a, b, onDisk_); };
    if (heap_.size() < kLargestFiles) {
        heap_.push_back(std::move(file));
        std::push_heap(heap_.begin(), heap_.end(), ranksBefore);
        return;
    }
    if (!ranksBefore(file, heap_.front()))
        return;
    std::pop_heap(heap_.begin(), heap_.end(), ranksBefore);
    heap_.back() = std::move(file);
    std::push_heap(heap_.begin(), heap_.end(), ranksBefore);
}

void TallyCollector::Count(const std::wstring& key, int64_t bytes, int64_t onDisk, int64_t files)
{
    auto at = types_.find(key);
    Totals* totals = nullptr;
    if (at != types_.end())
        totals = &at->second;
    else if (types_.size() < kTypesPerThread)
        totals = &types_[key];
    else
        totals = &other_;
    totals->bytes = AddBytes(totals->bytes, bytes);
    totals->onDisk = AddBytes(totals->onDisk, onDisk);
    totals->files += files;
}

void TallyCollector::Merge(TallyCollector& other)
{
    for (LargeFile& file : other.heap_)
        Offer(std::move(file));
    other.heap_.clear();
    for (const auto& [key, totals] : other.types_) {
        auto at = types_.find(key);
        Totals* into = at != types_.end() ? &at->second
                       : types_.size() < kTypesPerThread ? &types_[key]
                                                          : &other_;
        into->bytes = AddBytes(into->bytes, totals.bytes);
        into->onDisk = AddBytes(into->onDisk, totals.onDisk);
        into->files += totals.files;
    }
    other.types_.clear();
    other_.bytes = AddBytes(other_.bytes, other.other_.bytes);
    other_.onDisk = AddBytes(other_.onDisk, other.other_.onDisk);
    other_.files += other.other_.files;
    other.other_ = Totals{};
}

FileTallies TallyCollector::Finish(std::wstring (*showFolder)(std::wstring_view read, const void* context),
                                   const void* context)
{
    FileTallies tallies;
    std::sort(heap_.begin(), heap_.end(),
              [this](const LargeFile& a, const LargeFile& b) { return RanksBefore(a, b, onDisk_); });
    tallies.largest = std::move(heap_);
    heap_.clear();
    for (LargeFile& file : tallies.largest) {
        std::wstring shown = showFolder(file.Folder(), context);
        if (shown.empty() || shown.back() != L'\\')
            shown += L'\\';
        const size_t nameAt = shown.size();
        shown.append(file.Name());
        file.path = std::move(shown);
        file.nameAt = nameAt;
    }
    for (const auto& [key, totals] : types_)
        tallies.types.push_back({key.empty() ? kNoExtension : LowerCased(key), totals.bytes, totals.onDisk,
                                 totals.files});
    if (other_.files > 0)
        tallies.types.push_back({kOtherTypes, other_.bytes, other_.onDisk, other_.files});
    types_.clear();
    other_ = Totals{};
    const bool onDisk = onDisk_;
    std::sort(tallies.types.begin(), tallies.types.end(), [onDisk](const FileType& a, const FileType& b) {
        const int64_t measureA = onDisk ? a.onDisk : a.bytes;
        const int64_t measureB = onDisk ? b.onDisk : b.bytes;
        return measureA != measureB ? measureA > measureB : a.name < b.name;
    });
    return tallies;
}

size_t TallyCollector::Bytes() const
{
    size_t bytes = heap_.capacity() * sizeof(LargeFile) + types_.bucket_count() * sizeof(void*);
    for (const LargeFile& file : heap_)
        bytes += file.path.capacity() * sizeof(wchar_t);
    for (const auto& entry : types_)
        bytes += sizeof(entry) + 2 * sizeof(void*) + entry.first.capacity() * sizeof(wchar_t);
    return bytes;
}
