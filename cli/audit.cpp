#include "audit.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "crypto.h"
#include "folder.h"
#include "pwned_list.h"
#include "record_store.h"
#include "table.h"

using namespace tool;

namespace {

// The kinds of finding, in the order a record's findings are listed.
enum Kind { kEmpty, kExposed, kReused, kShort, kOneKind, kHoldsName, kKinds };
const char* const kKindKey[kKinds] = {"empty", "exposed", "reused", "short", "one-kind", "holds-name"};
const char* const kKindName[kKinds] = {"empty", "exposed", "reused", "short", "one kind of character",
                                       "holding a name"};

struct Finding {
    uint32_t record;
    Kind kind;
    std::string text; // for a person
    std::string json; // the finding's own members, for --json
};

// Names shorter than this are too common to count: "bob" in "bobcat".
const size_t kShortestName = 4;

char Folded(char c)
{
    return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
}

// Whether text holds name, ASCII letters compared regardless of case.
bool Holds(const std::string& text, const std::string& name)
{
    return name.size() >= kShortestName &&
           std::search(text.begin(), text.end(), name.begin(), name.end(),
                       [](char a, char b) { return Folded(a) == Folded(b); }) != text.end();
}

// The name in a URL's host: "https://accounts.example.co.uk:8080/x" gives "example". The
// top-level domain goes, and a short second level beneath a two-letter one (co.uk, com.au).
std::string HostName(std::string url)
{
    size_t scheme = url.find("://");
    if (scheme != std::string::npos)
        url.erase(0, scheme + 3);
    url = url.substr(0, url.find_first_of("/?#"));
    size_t at = url.rfind('@');
    if (at != std::string::npos)
        url.erase(0, at + 1);
    url = url.substr(0, url.find(':'));
    std::vector<std::string> labels;
    size_t from = 0;
    for (size_t dot; (dot = url.find('.', from)) != std::string::npos; from = dot + 1)
        labels.push_back(url.substr(from, dot - from));
    labels.push_back(url.substr(from));
    if (labels.size() < 2)
        return labels[0];
    std::string top = labels.back();
    labels.pop_back();
    // A country's own second level ("co.uk", "com.au", "ne.jp"): the name is the label
    // before it. Only these common ones: "gmx.de" or "web.de" are names themselves.
    static const char* const kSecondLevels[] = {"co", "com", "net", "org", "gov", "edu", "ac", "or", "ne", "go", "gob", "mil"};
    if (top.size() == 2 && labels.size() >= 2 &&
        std::find(std::begin(kSecondLevels), std::end(kSecondLevels), labels.back()) != std::end(kSecondLevels))
        labels.pop_back();
    return labels.back();
}

// "only lower-case letters" and the like, or empty when the password mixes kinds or holds
// letters beyond ASCII (which draw from a large set of their own).
std::string OneKind(const std::string& password, std::string* key)
{
    int kinds = 0;
    for (unsigned char c : password) {
        if (c >= 0x80)
            return "";
        kinds |= c >= 'a' && c <= 'z' ? 1 : c >= 'A' && c <= 'Z' ? 2 : c >= '0' && c <= '9' ? 4 : 8;
    }
    static const struct {
        int kinds;
        const char *key, *text;
    } only[] = {{1, "lower-case", "only lower-case letters"},
                {2, "upper-case", "only upper-case letters"},
                {4, "digits", "only digits"},
                {8, "symbols", "only symbols"}};
    for (const auto& o : only) {
        if (kinds == o.kinds) {
            *key = o.key;
            return o.text;
        }
    }
    return "";
}

std::string Json(const std::string& utf8)
{
    std::string out = "\"";
    for (unsigned char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += (char)c;
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\u%04x", c);
            out += escaped;
        } else {
            out += (char)c;
        }
    }
    return out + "\"";
}

std::string Numbers(const std::vector<uint32_t>& numbers, const char* separator)
{
    std::string text;
    for (uint32_t n : numbers)
        text += (text.empty() ? "" : separator) + std::to_string(n);
    return text;
}

struct Login {
    std::string website, userName, url, password; // the files' bytes
};

// The findings of every record, in record order.
std::vector<Finding> FindingsOf(const std::vector<Login>& entries, const std::vector<pwned::Answer>& exposure,
                                int minLength)
{
    std::map<std::string, std::vector<uint32_t>> users; // records of each password
    for (uint32_t i = 0; i < entries.size(); ++i) {
        if (!entries[i].password.empty())
            users[entries[i].password].push_back(i);
    }
    std::vector<Finding> findings;
    for (uint32_t i = 0; i < entries.size(); ++i) {
        const Login& e = entries[i];
        auto find = [&](Kind kind, const std::string& text, const std::string& json) {
            findings.push_back({i, kind, text, json});
        };
        if (e.password.empty()) {
            find(kEmpty, "empty: no password", "");
            continue;
        }
        if (!exposure.empty() && exposure[i].state == pwned::Answer::kFound)
            find(kExposed, "exposed: in the list of breached passwords, seen " + exposure[i].count + " times",
                 "\"count\":" + exposure[i].count);
        std::vector<uint32_t> others;
        for (uint32_t k : users[e.password]) {
            if (k != i)
                others.push_back(k);
        }
        if (!others.empty())
            find(kReused,
                 std::string("reused: the same password as record") + (others.size() > 1 ? "s " : " ") +
                     Numbers(others, ", "),
                 "\"records\":[" + Numbers(others, ",") + "]");
        if ((int)e.password.size() < minLength)
            find(kShort,
                 "short: " + std::to_string(e.password.size()) + " characters, fewer than " + std::to_string(minLength),
                 "\"length\":" + std::to_string(e.password.size()) + ",\"minimum\":" + std::to_string(minLength));
        std::string key, only = OneKind(e.password, &key);
        if (!only.empty())
            find(kOneKind, "one kind of character: " + only, "\"class\":" + Json(key));
        // The user name, and of an e-mail address the part before the '@' too.
        std::string user = e.userName.substr(0, e.userName.find('@'));
        if (Holds(e.password, e.userName) || Holds(e.password, user))
            find(kHoldsName, "holds the user name", "\"name\":\"user name\"");
        else if (Holds(e.password, e.website) || Holds(e.password, HostName(e.url)))
            find(kHoldsName, "holds the website's name", "\"name\":\"website\"");
    }
    return findings;
}

} // namespace

int Audit(const Options& o, const AuditOptions& a)
{
    charset::CodePage cp;
    int status;
    if (!LoadForReading(o, &cp, &status))
        return status;
    std::vector<Login> entries;
    for (uint32_t i = 0; i < SettingsBlock.count; ++i) {
        const Record& r = RecordStore.slots[i];
        entries.push_back({FieldText(r.website, sizeof(r.website)), FieldText(r.userName, sizeof(r.userName)),
                           FieldText(r.url, sizeof(r.url)), FieldText(r.password, sizeof(r.password))});
    }

    // The list hashes the UTF-8 of each password; the files hold the code page's bytes.
    std::vector<pwned::Answer> exposure;
    pwned::List list;
    size_t unknown = 0;
    if (!a.hibp.empty()) {
        std::string error;
        if (!list.Open(a.hibp, &error))
            return Fail(error);
        std::vector<crypto::Sha1Digest> digests(entries.size());
        for (size_t i = 0; i < entries.size(); ++i) {
            if (!crypto::Sha1(cp.ToUtf8(entries[i].password), &digests[i]))
                return Fail("the system's SHA-1 could not be used");
        }
        if (!list.Lookup(digests, &exposure, &error))
            return Fail(error);
        for (size_t i = 0; i < entries.size(); ++i)
            unknown += !entries[i].password.empty() && exposure[i].state == pwned::Answer::kUnknown;
    }

    std::vector<Finding> findings = FindingsOf(entries, exposure, a.minLength);
    size_t byKind[kKinds] = {}, withFindings = 0;
    for (size_t f = 0; f < findings.size(); ++f) {
        ++byKind[findings[f].kind];
        withFindings += f == 0 || findings[f].record != findings[f - 1].record;
    }

    if (a.json) {
        std::string json = "{\"records\":" + std::to_string(entries.size()) +
                           ",\"with_findings\":" + std::to_string(withFindings) + ",\"list\":" +
                           (a.hibp.empty() ? "null" : Json(a.hibp)) + ",\"not_looked_up\":" + std::to_string(unknown) +
                           ",\"counts\":{";
        for (int k = 0; k < kKinds; ++k)
            json += std::string(k ? "," : "") + "\"" + kKindKey[k] + "\":" + std::to_string(byKind[k]);
        json += "},\"findings\":[";
        for (size_t f = 0; f < findings.size(); ++f) {
            const Login& e = entries[findings[f].record];
            json += std::string(f ? "," : "") + "\n{\"record\":" + std::to_string(findings[f].record) +
                    ",\"website\":" + Json(cp.ToUtf8(e.website)) + ",\"user_name\":" + Json(cp.ToUtf8(e.userName)) +
                    ",\"kind\":\"" + kKindKey[findings[f].kind] + "\"" +
                    (findings[f].json.empty() ? "" : "," + findings[f].json) + "}";
        }
        Say(json + "]}");
    } else {
        std::vector<std::vector<std::string>> rows;
        for (const Finding& f : findings) {
            const Login& e = entries[f.record];
            rows.push_back({std::to_string(f.record), cp.ToUtf8(e.website), cp.ToUtf8(e.userName), f.text});
        }
        PrintTable(rows);
        std::string summary = std::to_string(entries.size()) + " records audited, " + std::to_string(withFindings) +
                              " with findings";
        for (int k = 0; k < kKinds; ++k)
            summary += std::string(k ? ", " : ": ") + std::to_string(byKind[k]) + " " + kKindName[k];
        if (a.hibp.empty())
            summary += " (exposure not looked up: no --hibp FILE)";
        // On a terminal below the table; in a pipe on standard error, so that standard
        // output holds findings only.
        if (OutputIsTerminal())
            Say(summary);
        else
            Report(summary);
    }

    if (!list.Damage().empty()) {
        if (unknown > 0)
            return Fail(a.hibp + ": " + std::to_string(unknown) + " of the passwords could not be looked up: the file " +
                        "holds " + list.Damage() + " (a download that did not finish, or a damaged copy), where they " +
                        "may have been. Download the list again");
        Warn(a.hibp + ": the file holds " + list.Damage() + " (a damaged copy?); every password was found in it");
    }
    return findings.empty() ? status : 1;
}
