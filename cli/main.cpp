// kestal-tool: checks, lists, exports, imports and recovers the two files of a Password
// Kestal database folder, audits its passwords and generates new ones. Exit status: 0 done, 1 done with findings, with rows skipped or
// changed, or with records left out, 2 usage errors, refused input and files that could not
// be read or written.
#include <cstdio>
#include <exception>
#include <string>

#include "CLI.hpp" // CLI11, from its own folder: the MinGW build must not see the system headers beside it

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <sys/stat.h>
#endif

#include "audit.h"
#include "commands.h"
#include "generate.h"
#include "header.h"
#include "console.h"
#include "kdbx.h"
#include "version.h"

namespace {

// What holds for the files export writes. Wine keeps no access list of its own: it turns
// the one the tool sets into a Unix mode, giving the group the owner's read access.
#ifdef _WIN32
const char kOutputHelp[] = "write to FILE (- for standard output); a new file that only your account may open "
                           "(under Wine: mode 0640, or 0600 when the Wine server runs with umask 077)";
#else
const char kOutputHelp[] = "write to FILE (- for standard output); a new file readable by you only (mode 0600)";
#endif

// The encrypted export's key derivation is this build's own.
const std::string kFormatHelp =
    "kdbx (a KDBX 4 database encrypted with a password: KeePassXC, KeePass 2 and others open it; asked twice on a "
    "terminal, else the first line of standard input; key derivation " + kdbx::Describe(kdbx::DefaultKdf()) +
    "), or in clear text: keepass-xml, keepassxc-csv, bitwarden-csv or browser-csv";

void AddFolder(CLI::App* command, Options* o)
{
    command->add_option("FOLDER", o->folder,
                        "database folder holding KSys.dat and Kestal.dat (default: .); when its KSys.dat names "
                        "another folder, as the program's folder does after a save into another folder, the "
                        "command works on that folder and says so. Every record Kestal.dat holds is read, "
                        "whatever count KSys.dat names, as the program reads them");
}

void AddCodePage(CLI::App* command, Options* o)
{
    command->add_option("--codepage", o->codePage, "the ANSI code page the files were written in (1250-1258)")
        ->check(CLI::Range(1250, 1258))
        ->default_val(1252);
}

} // namespace

int main(int argc, char** argv)
{
#ifdef _WIN32
    // The same bytes as the Linux build: no "\n" turned into "\r\n".
    _setmode(_fileno(stdout), _O_BINARY);
#else
    umask(077); // the files it writes hold passwords: its owner's alone
#endif
    Options o;
    CLI::App app("Checks, lists, exports, imports and recovers the two files (KSys.dat, Kestal.dat) of a "
                 "Password Kestal database folder; audits its passwords and generates new ones.",
                 "kestal-tool");
    app.set_version_flag("--version", std::string("kestal-tool ") + KESTAL_VERSION_TEXT);
    app.require_subcommand(1);
    app.footer("A FOLDER that does not exist is said to be missing, before anything is read or written. A "
               "command that a message suggests names the folder, quoted for the shell where it needs it, so "
               "that it can be pasted as it stands.");

    CLI::App* check = app.add_subcommand("check", "report what is wrong with the files (a count that differs from the file's is a note: the program's next save mends it); exit 1 when anything is");
    AddFolder(check, &o);
    AddCodePage(check, &o);

    CLI::App* list = app.add_subcommand("list", "one line a record: index, website, URL, user name (on a terminal, "
                                                 "long columns cut to its width)");
    AddFolder(list, &o);
    list->add_flag("--passwords", o.passwords, "show the passwords too");
    AddCodePage(list, &o);

    CLI::App* exportCommand = app.add_subcommand("export", "write the records for another password manager");
    AddFolder(exportCommand, &o);
    exportCommand->add_option("--format", o.format, kFormatHelp)->required();
    exportCommand->add_option("--output,-o", o.output, kOutputHelp);
    exportCommand->add_flag("--force", o.force, "replace FILE when it exists");
    exportCommand->footer("Once the export is written, a warning on standard error says that it holds the "
                          "passwords in clear text; a refused or failed export gives none.");
    AddCodePage(exportCommand, &o);

    CLI::App* importCommand = app.add_subcommand("import", "append the logins of another password manager's or a "
                                                           "browser's export to the database (into the folder the "
                                                           "settings name, and both settings files count them)");
    importCommand->footer("A CSV file's header names are compared whatever their case; " + header::NamesHelp() +
                          " (* only when no other column gives that field). An e-mail column gives the user name of "
                          "rows that have none. Rows of field/value pairs (\"Title\",\"Field\",\"Value\",...,"
                          "\"Note\") are read by the fields' names. Fields beyond the header's columns are left out, "
                          "said once for the file, and the rows kept. A file without a header row is refused, quoting "
                          "none of its fields; --columns names its columns. In an XML or JSON export each entry is "
                          "named by its place (\"entry 5 (group Social)\"); a recycle bin or KeePassX's Backup group "
                          "is left out and said so; a document that is malformed, cut short or encrypted is refused "
                          "whole.");
    importCommand->add_option("FILE", o.input,
                              "the export: CSV with a header row (or tab-separated), KeePass 2 or KeePassX 0.4 XML, "
                              "Password Safe XML, or Bitwarden's unencrypted JSON (told by its content), in UTF-8")
        ->required();
    AddFolder(importCommand, &o);
    importCommand->add_option("--format", o.format,
                              "refuse the file unless it is keepassxc-csv, bitwarden-csv, browser-csv or firefox-csv "
                              "(by its header; columns are always taken by their names), keepass-xml, keepassx-xml, "
                              "pwsafe-xml or bitwarden-json");
    importCommand->add_option("--columns", o.columns,
                              "FILE is CSV without a header row: its columns in order, by the header names below (any "
                              "other name marks a column to ignore), e.g. folder,title,username,password,url,notes")
        ->option_text("LIST");
    importCommand->add_option("--input-encoding", o.inputEncoding,
                              "FILE's encoding when it is not UTF-8: windows-1250 to windows-1258");
    importCommand->add_flag("--dry-run", o.dryRun, "report what would be imported; write nothing");
    importCommand->add_flag("--skip-same-site", o.skipSameSite,
                            "skip rows whose website or URL is stored (by default another account on a stored site "
                            "is imported)");
    importCommand->add_flag("--allow-empty-url", o.allowEmptyUrl, "import rows without a URL");
    importCommand->add_flag("--allow-empty-user", o.allowEmptyUser, "import rows without a user name");
    AddCodePage(importCommand, &o);

    CLI::App* recover = app.add_subcommand("recover", "write settings that count every record of the file and name the folder that holds it");
    AddFolder(recover, &o);
    AddCodePage(recover, &o);

    AuditOptions auditOptions;
    CLI::App* audit = app.add_subcommand("audit", "report reused, exposed, short and weak passwords (never the "
                                                   "passwords); exit 1 when any is found");
    AddFolder(audit, &o);
    audit->add_option("--hibp", auditOptions.hibp,
                      "look each password up in FILE, the Pwned Passwords list of SHA-1 hashes ordered by hash (a few reads of it per password, NUL bytes of an unfinished download jumped over)")
        ->option_text("FILE");
    audit->add_option("--min-length", auditOptions.minLength, "passwords of fewer characters are short")
        ->check(CLI::Range(0, 64))
        ->default_val(12);
    audit->add_flag("--json", auditOptions.json, "one JSON document, for other programs");
    AddCodePage(audit, &o);

    GenerateOptions generateOptions;
    CLI::App* generate = app.add_subcommand("generate", "print strong passwords from the system's cryptographic "
                                                         "generator, one a line");
    generate->add_option("--length", generateOptions.length, "characters a password (at most 62)")
        ->default_val(20);
    generate->add_option("--count", generateOptions.count, "how many passwords")->default_val(1);
    generate->add_flag("--no-symbols", "only letters and digits")
        ->each([&](const std::string&) { generateOptions.symbols = false; });
    generate->add_flag("--no-lookalikes", "leave out I l 1 | O 0 o")
        ->each([&](const std::string&) { generateOptions.lookalikes = false; });

    // Help and version text that never arrived is a failure too.
    auto Finish = [](int status) { return tool::StandardOutputFailed() ? 2 : status; };
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return Finish(app.exit(e));
    } catch (const CLI::CallForAllHelp& e) {
        return Finish(app.exit(e));
    } catch (const CLI::CallForVersion& e) {
        return Finish(app.exit(e));
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "kestal-tool: %s\nRun 'kestal-tool --help' for usage.\n", e.what());
        return 2;
    }

    int status;
    try {
        if (check->parsed())
            status = Check(o);
        else if (list->parsed())
            status = List(o);
        else if (exportCommand->parsed())
            status = Export(o);
        else if (importCommand->parsed())
            status = Import(o);
        else if (recover->parsed())
            status = Recover(o);
        else if (audit->parsed())
            status = Audit(o, auditOptions);
        else
            status = Generate(generateOptions);
    } catch (const std::exception& e) {
        // A file system error the commands did not expect: one line, no trace.
        std::fprintf(stderr, "kestal-tool: %s\n", e.what());
        return 2;
    }
    // Output that never arrived is a failure, whatever the command found.
    if (tool::StandardOutputFailed()) {
        std::fprintf(stderr, "kestal-tool: standard output could not be written\n");
        return 2;
    }
    return status;
}
