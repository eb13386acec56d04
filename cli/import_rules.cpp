#include "import_rules.h"

#include <algorithm>
#include <cstring>

#include "formats.h"
#include "record_store.h"
#include "text.h"

namespace import_rules {

namespace {

struct Field {
    const char* name;  // as the reports name it
    header::Field from; // its column
    char* destination; // in the working record
    size_t longest;    // bytes the program keeps
    bool required;     // true: a row whose text does not fit is skipped; false: cut and reported
};

// The program's fields hold one line: CRLF, CR and LF each become one space.
std::string OneLine(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue; // the LF that follows gives the space
        out.push_back(text[i] == '\r' || text[i] == '\n' ? ' ' : text[i]);
    }
    return out;
}

// The bytes of utf8 in the code page, character by character. Characters it cannot hold
// are left out and counted in *leftOut. False when utf8 is not valid UTF-8.
bool Convert(const std::string& utf8, const charset::CodePage& cp, std::string* bytes, int* leftOut)
{
    bytes->clear();
    *leftOut = 0;
    // ASCII is the same bytes in every code page the program runs with.
    if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return (unsigned char)c < 0x80; })) {
        *bytes = utf8;
        return true;
    }
    for (size_t at = 0; at < utf8.size();) {
        size_t start = at;
        char32_t c;
        if (!charset::NextUtf8(utf8, &at, &c))
            return false;
        std::string one;
        if (cp.FromUtf8(utf8.substr(start, at - start), &one))
            *bytes += one;
        else
            ++*leftOut;
    }
    return true;
}

// A field up to its terminator as the program's CompareText folds it (bits 5 and 7 of each
// byte cleared); false for a field without a terminator, which equals no terminated text
// of fewer bytes than the field.
bool FoldedField(const char* field, size_t size, std::string* key)
{
    size_t length = strnlen(field, size);
    if (length == size)
        return false;
    key->resize(length);
    for (size_t i = 0; i < length; ++i)
        (*key)[i] = (char)(field[i] & 0x5F);
    return true;
}

std::string LoginKey(const std::string& url, const std::string& userName, const std::string& password)
{
    // The texts hold no NUL byte (a row with one is skipped), so NUL separates them.
    std::string key = url;
    key += '\0';
    key += userName;
    key += '\0';
    key += password;
    return key;
}

// Spaces the left-out characters leave at the edges of a text: "🔑 Key" keeps "Key",
// not " Key". Spaces the file itself put there stay.
void TrimLeftOut(const std::string& original, std::string* bytes)
{
    if (original.empty())
        return;
    if (original.back() != ' ')
        bytes->erase(bytes->find_last_not_of(' ') + 1); // npos + 1: all of it
    if (original.front() != ' ')
        bytes->erase(0, std::min(bytes->find_first_not_of(' '), bytes->size()));
}

} // namespace

void Index::Update()
{
    uint32_t count = SettingsBlock.count < kSlotCount ? SettingsBlock.count : (uint32_t)kSlotCount;
    if (count < records_) {
        websites_.clear();
        urls_.clear();
        logins_.clear();
        records_ = 0;
    }
    std::string key;
    for (; records_ < count; ++records_) {
        const Record& r = RecordStore.slots[records_];
        if (FoldedField(r.website, sizeof(r.website), &key))
            websites_.emplace(key, records_); // an existing key keeps its first record
        if (FoldedField(r.url, sizeof(r.url), &key))
            urls_.emplace(key, records_);
        logins_.emplace(LoginKey(std::string(r.url, strnlen(r.url, sizeof(r.url))),
                                 std::string(r.userName, strnlen(r.userName, sizeof(r.userName))),
                                 std::string(r.password, strnlen(r.password, sizeof(r.password)))),
                        records_);
    }
}

uint32_t Index::SameSite(const char* website, const char* url) const
{
    uint32_t first = kNoRecord;
    std::string key;
    // Two entries that both leave the website empty are not the same site for that.
    if (website[0] != 0 && FoldedField(website, kWebsiteSize, &key)) {
        auto found = websites_.find(key);
        if (found != websites_.end())
            first = found->second;
    }
    if (FoldedField(url, kUrlSize, &key)) {
        auto found = urls_.find(key);
        if (found != urls_.end() && found->second < first)
            first = found->second;
    }
    return first;
}

uint32_t Index::SameLogin(const std::string& url, const std::string& userName, const std::string& password) const
{
    auto found = logins_.find(LoginKey(url, userName, password));
    return found == logins_.end() ? kNoRecord : found->second;
}

void ImportItem(const Item& item, const charset::CodePage& cp, const Choices& choices, Tally* tally)
{
    std::string at = item.where + ": ";
    auto skip = [&](const std::string& why) {
        if (!item.oddity.empty())
            tally->reports.push_back(at + item.oddity);
        tally->reports.push_back(at + "skipped: " + why);
        ++tally->skipped;
    };
    std::vector<std::string> notes; // changes made to an entry that is imported
    if (!item.oddity.empty())
        notes.push_back(item.oddity);
    notes.insert(notes.end(), item.changes.begin(), item.changes.end());

    std::string text[header::kFieldCount];
    for (int f = 0; f < header::kFieldCount; ++f)
        text[f] = item.text[f];
    if (!item.notALogin.empty()) {
        skip(item.notALogin);
        return;
    }
    if (!item.titled)
        text[header::kTitle] = formats::HostOf(text[header::kUrl]); // Firefox has no title column

    const Field fields[] = {{"website", header::kTitle, WorkingRecord.website, kLongestText, false},
                            {"URL", header::kUrl, WorkingRecord.url, kLongestText, true},
                            {"user name", header::kUserName, WorkingRecord.userName, kLongestShortText, true},
                            {"password", header::kPassword, WorkingRecord.password, kLongestShortText, true},
                            {"remarks", header::kNotes, WorkingRecord.remarks, kLongestText, false}};
    std::string bytes[5];
    for (int f = 0; f < 5; ++f) {
        const Field& field = fields[f];
        std::string& t = text[field.from];
        if (t.find('\0') != std::string::npos) {
            skip(std::string(field.name) + " holds a NUL byte");
            return;
        }
        int leftOut = 0;
        // Notes and titles often run over several lines, and one line is what the program
        // shows; a line break in a URL, user name or password changes what logs in, so
        // that is reported.
        std::string oneLine = OneLine(t);
        if (oneLine != t && field.required)
            notes.push_back(std::string(field.name) + ": line breaks became spaces");
        if (!Convert(oneLine, cp, &bytes[f], &leftOut)) {
            skip(std::string(field.name) + " is not UTF-8 text");
            return;
        }
        std::string codePage = "Windows-" + std::to_string(cp.Number());
        if (leftOut > 0 && field.required) {
            skip(std::string(field.name) + " holds characters " + codePage + " cannot hold");
            return;
        }
        if (leftOut > 0)
            TrimLeftOut(oneLine, &bytes[f]);
        if (leftOut > 0)
            notes.push_back(std::string(field.name) + ": " + std::to_string(leftOut) +
                            (leftOut == 1 ? " character " : " characters ") + codePage +
                            " cannot hold " + (leftOut == 1 ? "was" : "were") + " left out");
    }
    if (bytes[3].empty()) {
        skip("the password is empty");
        return;
    }
    if (bytes[1].empty() && !choices.allowEmptyUrl) {
        skip("the URL is empty (--allow-empty-url imports such rows)");
        return;
    }
    if (bytes[2].empty() && !choices.allowEmptyUser) {
        skip("the user name is empty (--allow-empty-user imports such rows)");
        return;
    }
    for (int f = 0; f < 5; ++f) {
        if (bytes[f].size() <= fields[f].longest)
            continue;
        if (fields[f].required) {
            skip(std::string(fields[f].name) + " is " + std::to_string(bytes[f].size()) +
                 " characters; the program keeps " + std::to_string(fields[f].longest));
            return;
        }
        // One byte a character in a single-byte code page: any cut falls between characters.
        bytes[f].resize(fields[f].longest);
        notes.push_back(std::string(fields[f].name) + " cut to " + std::to_string(fields[f].longest) + " characters");
    }
    if (SettingsBlock.count >= kSlotCount) {
        skip("the database is full (1024 records)");
        return;
    }
    tally->stored.Update();
    uint32_t same = tally->stored.SameLogin(bytes[1], bytes[2], bytes[3]);
    if (same != kNoRecord) {
        skip("the same URL, user name and password as record " + std::to_string(same));
        return;
    }
    std::memset(&WorkingRecord, 0, sizeof(WorkingRecord));
    for (int f = 0; f < 5; ++f)
        CopyText(bytes[f].c_str(), fields[f].destination, fields[f].longest + 2);
    uint32_t match = tally->stored.SameSite(WorkingRecord.website, WorkingRecord.url);
    std::string another;
    if (match != kNoRecord) {
        // Two empty websites are not the same website: FindDuplicate matched the URL then.
        const char* what = WorkingRecord.website[0] != 0 &&
                                   CompareText(RecordStore.slots[match].website, WorkingRecord.website, 1) == 0
                               ? "website"
                               : "URL";
        if (choices.skipSameSite) {
            skip(std::string("same ") + what + " as record " + std::to_string(match) + " (--skip-same-site)");
            return;
        }
        another = std::string("same ") + what + " as record " + std::to_string(match) +
                  ": imported as another account";
    }
    AppendRecord();
    ++tally->imported;
    if (!notes.empty() || item.lostFields)
        ++tally->changed;
    for (const std::string& note : notes)
        tally->reports.push_back(at + note);
    if (!another.empty())
        tally->reports.push_back(at + another);
}

} // namespace import_rules
