#!/usr/bin/env bash
# kestal-tool as a user meets it on the command line: conventional help, version, errors and
# exit statuses; export files private and never partial; list for terminals and pipes;
# check and recover on a folder copied from elsewhere.
#   command_line.sh KESTAL_TOOL
set -uo pipefail
tool=$(realpath "$1")
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/kestal-cli-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
expect() { # expect STATUS DESCRIPTION COMMAND...
  local want=$1 what=$2
  shift 2
  "$@" >"$work/out" 2>"$work/err"
  local got=$?
  if [ "$got" != "$want" ]; then
    echo "FAILED: $what: exit $got, not $want"; sed 's/^/  /' "$work/err"
    failures=$((failures + 1))
  fi
}
check() { # check DESCRIPTION TEST...
  local what=$1
  shift
  if ! "$@"; then
    echo "FAILED: $what"
    failures=$((failures + 1))
  fi
}

version=$(sed -n 's/^#define KESTAL_VERSION_TEXT "\(.*\)"/\1/p' "$root/resources/version.h")
expect 0 "--version" "$tool" --version
check "--version names $version" grep -qx "kestal-tool $version" "$work/out"
expect 0 "--help" "$tool" --help
check "--help lists the commands" grep -q "recover" "$work/out"
expect 2 "no command" "$tool"
expect 2 "an unknown option" "$tool" list --colour
check "one line for a usage error, then the hint" test "$(wc -l <"$work/err")" -le 3
expect 2 "an unknown code page" "$tool" list --codepage 437
expect 2 "a folder that is not there" "$tool" list "$work/nowhere"
check "its message names it as missing" grep -qx "kestal-tool: $work/nowhere: no such folder" "$work/err"
mkdir "$work/empty"
expect 2 "a folder with no files" "$tool" list "$work/empty"
check "its message names the missing file" grep -q "no settings file" "$work/err"

# A database of two records, imported from a browser's CSV.
printf 'name,url,username,password,note\nMail,https://mail.example,ann,s3cret,\nBank,https://bank.example,bob,pw,\n' >"$work/in.csv"
mkdir "$work/db"
expect 2 "import into a folder that is not there" "$tool" import "$work/in.csv" "$work/nowhere"
check "no summary claims records that were not saved" test ! -s "$work/out"
check "the folder is named as missing, not as a write error" grep -qx "kestal-tool: $work/nowhere: no such folder" "$work/err"
for command in check recover audit "export --format browser-csv"; do
  # shellcheck disable=SC2086 # the words of the command
  expect 2 "$command of a folder that is not there" "$tool" $command "$work/nowhere"
  check "$command names it as missing" grep -qx "kestal-tool: $work/nowhere: no such folder" "$work/err"
done
expect 0 "import into an empty folder" "$tool" import "$work/in.csv" "$work/db"
check "the summary line" grep -qx "2 imported, 0 skipped" "$work/out"
check "the files are private" test "$(stat -c %a "$work/db/Kestal.dat") $(stat -c %a "$work/db/KSys.dat")" = "600 600"

expect 0 "export to a file" "$tool" export "$work/db" --format browser-csv --output "$work/out.csv"
check "the export file is its owner's alone" test "$(stat -c %a "$work/out.csv")" = 600
check "one line on standard error warns of the clear text" grep -q "clear text" "$work/err"
expect 2 "export over an existing file" "$tool" export "$work/db" --format browser-csv -o "$work/out.csv"
check "a refused export warns of no clear text" test -z "$(grep "clear text" "$work/err")"
expect 2 "export without --format" "$tool" export "$work/db"
expect 2 "export into a missing folder" "$tool" export "$work/db" --format keepass-xml -o "$work/no/such/dir/x.xml"
check "a failed export warns of no clear text" test -z "$(grep "clear text" "$work/err")"
check "no partial or temporary file is left" test -z "$(ls "$work/no" 2>/dev/null; ls "$work" | grep '\.tmp$')"

expect 0 "export -o - (in the export's folder)" env -C "$work" "$tool" export "$work/db" --format browser-csv -o -
check "-o - writes the records to standard output" grep -qx "Mail,https://mail.example,ann,s3cret," "$work/out"
check "-o - creates no file named -" test ! -e "$work/-"
for command in list check "export --format keepass-xml"; do
  # shellcheck disable=SC2086 # the words of the command
  "$tool" $command "$work/db" >/dev/full 2>"$work/err"
  check "$command to a full disk (/dev/full) exits 2" test $? = 2
done

"$tool" list "$work/db" >"$work/listed"
check "list to a pipe is tab-separated" grep -qP '^0\tMail\thttps://mail.example\tann$' "$work/listed"
check "list hides passwords" test -z "$(grep s3cret "$work/listed")"
"$tool" list "$work/db" --passwords | grep -qP '\ts3cret$'
check "--passwords shows them" test $? = 0
if command -v script >/dev/null; then
  script -qc "$tool list $work/db" /dev/null | tr -d '\r' >"$work/tty"
  check "list on a terminal aligns its columns" grep -q '^1  Bank  https://bank.example  bob' "$work/tty"
  script -qc "stty cols 24; $tool list $work/db" /dev/null | tr -d '\r' >"$work/tty"
  check "and cuts them to the terminal's width" test "$(sed -n 1p "$work/tty")" = "0  Mail  https://m…  ann"
fi

expect 0 "check of a sound folder" "$tool" check "$work/db"
check "it says so" grep -qx "no findings" "$work/out"

# The settings FILE name FOLDER (in Wine's form), their count and password kept.
name_folder() {
  { head -c 4 "$1"; printf 'Z:%s\\' "$2" | tr / '\\'; } >"$1.new"
  truncate -s 260 "$1.new"
  tail -c 60 "$1" >>"$1.new"
  mv "$1.new" "$1"
}

# The folder moved elsewhere (its settings name a folder that is gone), one more record in
# the file than the settings count, and a stray temporary file: check finds each, recover
# mends the settings.
mkdir "$work/moved"
cp "$work/db/KSys.dat" "$work/db/Kestal.dat" "$work/moved/"
name_folder "$work/moved/KSys.dat" "$work/gone"
cp "$work/moved/KSys.dat" "$work/moved-settings"
cat "$work/moved/Kestal.dat" <(head -c 512 "$work/moved/Kestal.dat") >"$work/moved/grown" && mv "$work/moved/grown" "$work/moved/Kestal.dat"
: >"$work/moved/Kestal.dat.tmp"
expect 1 "check of a moved folder" "$tool" check "$work/moved"
check "check reports the other folder" grep -q "gone, which does not exist; the program would look for the database there" "$work/out"
check "check notes the record beyond the count" grep -q "^note: database file: 1 records beyond the count" "$work/out"
check "check reports the duplicate" grep -q "record 2: same website or URL as record 0" "$work/out"
check "check reports the stray temporary file" grep -q "Kestal.dat.tmp" "$work/out"
expect 2 "list of a folder whose settings name one that is gone" "$tool" list "$work/moved"
check "names it, and recover" grep -q "gone, which does not exist; the program finds no records there. kestal-tool recover" "$work/err"
old=$(od -An -tx1 -j260 -N60 "$work/moved/KSys.dat")
expect 0 "recover" "$tool" recover "$work/moved"
check "recover says what changed" grep -q "count: 2 -> 3" "$work/out"
check "and that the settings name this folder now" grep -q "folder: .*gone.* -> .*moved" "$work/out"
check "the old settings are kept" cmp -s "$work/moved-settings" "$work/moved/KSys.dat.bak"
check "the password is kept" test "$old" = "$(od -An -tx1 -j260 -N60 "$work/moved/KSys.dat")"
expect 0 "recover again changes nothing" "$tool" recover "$work/moved"
check "and says so" grep -q "nothing to change" "$work/out"
check "no second backup" test ! -e "$work/moved/KSys.dat.bak.1"

# A folder whose name is not ASCII: the settings hold it in the files' code page, as the
# program reads it, and check shows it as UTF-8. A folder the code page cannot hold is
# refused before anything is written.
mkdir "$work/Passwörter" "$work/Пароли" "$work/other"
expect 0 "import into Passwörter" "$tool" import "$work/in.csv" "$work/Passwörter"
printf 'Z:%s\\' "$work/Passwörter" | tr / '\\' | iconv -f UTF-8 -t WINDOWS-1252 >"$work/want-folder"
head -c 260 "$work/Passwörter/KSys.dat" | tail -c 256 | tr -d '\0' >"$work/got-folder"
check "the settings name Passwörter in Windows-1252" cmp -s "$work/want-folder" "$work/got-folder"
expect 0 "check of Passwörter" "$tool" check "$work/Passwörter"
check "check shows the folder as UTF-8, as this folder" grep -qF "Passwörter\ (this folder)" "$work/out"
expect 2 "import into a folder Windows-1252 cannot name" "$tool" import "$work/in.csv" "$work/Пароли"
check "nothing was written there" test -z "$(ls -A "$work/Пароли")"
check "the message names the code page" grep -q "Windows-1252 cannot hold" "$work/err"
expect 0 "the same folder under --codepage 1251" "$tool" import "$work/in.csv" "$work/Пароли" --codepage 1251
mkdir "$work/Übersicht"
cp "$work/Passwörter/Kestal.dat" "$work/Übersicht/"
expect 0 "recover in a folder named Übersicht" "$tool" recover "$work/Übersicht"
check "recover says which folder, in UTF-8" grep -q "folder .*Übersicht" "$work/out"
printf 'Z:%s\\' "$work/Übersicht" | tr / '\\' | iconv -f UTF-8 -t WINDOWS-1252 >"$work/want-folder"
head -c 260 "$work/Übersicht/KSys.dat" | tail -c 256 | tr -d '\0' >"$work/got-folder"
check "the settings recover writes name Übersicht in Windows-1252" cmp -s "$work/want-folder" "$work/got-folder"
mkdir "$work/Обзор"
cp "$work/Passwörter/Kestal.dat" "$work/Обзор/"
expect 2 "recover in a folder Windows-1252 cannot name" "$tool" recover "$work/Обзор"
check "writes no settings there" test ! -e "$work/Обзор/KSys.dat"
# A folder whose settings name another, as the program's folder does after a save into
# another folder: the import goes where the program reads the records, and both settings
# files count them.
cp "$work/Passwörter/KSys.dat" "$work/other/"
printf 'name,url,username,password\nOther,https://other.example,me,pw\n' >"$work/other.csv"
expect 0 "import into a folder whose settings name another" "$tool" import "$work/other.csv" "$work/other"
check "says where it went" test "$(cat "$work/err")" = \
  "kestal-tool: the settings in $work/other name $work/Passwörter: using $work/Passwörter"
check "no database was written in the folder given" test ! -e "$work/other/Kestal.dat"
check "the records went where the settings point" test "$(stat -c %s "$work/Passwörter/Kestal.dat")" = 1536
check "both settings files count them" test "$(od -An -tu4 -N4 "$work/other/KSys.dat" | tr -d ' ')$(od -An -tu4 -N4 "$work/Passwörter/KSys.dat" | tr -d ' ')" = 33
check "and are the same" cmp -s "$work/other/KSys.dat" "$work/Passwörter/KSys.dat"
# A folder with a space whose settings name a folder that is gone: the command that the
# refusal suggests is quoted for the shell, and runs as it stands.
mkdir "$work/my folder"
cp "$work/Passwörter/KSys.dat" "$work/Passwörter/Kestal.dat" "$work/my folder/"
name_folder "$work/my folder/KSys.dat" "$work/gone"
expect 2 "import into a folder with a space whose settings name one that is gone" "$tool" import "$work/in.csv" \
  "$work/my folder"
suggested=$(grep -o "kestal-tool recover '[^']*'" "$work/err")
check "the command it suggests is quoted for the shell" test "$suggested" = "kestal-tool recover '$work/my folder'"
eval "\"\$tool\"${suggested#kestal-tool}" >/dev/null
check "and runs as it stands" test $? = 0

# A CSV that is not UTF-8 is reported as such, with its line; --input-encoding reads it.
printf 'name,url,username,password,note\nCaf\xe9,https://cafe.example,ann,pw,\n' >"$work/latin1.csv"
mkdir "$work/latin"
expect 2 "a Windows-1252 CSV read as UTF-8" "$tool" import "$work/latin1.csv" "$work/latin"
check "the message names line 2 and --input-encoding" grep -q "line 2 is not UTF-8.*--input-encoding" "$work/err"
expect 0 "the same CSV with --input-encoding windows-1252" "$tool" import "$work/latin1.csv" "$work/latin" \
  --input-encoding windows-1252
"$tool" list "$work/latin" >"$work/listed"
check "its letters arrive" grep -qP '^0\tCafé\t' "$work/listed"

# Import: per-row reports on standard error, the summary alone on standard output; a second
# account on a stored site is kept, and check notes it without calling it a problem.
printf 'name,url,username,password,note\nMail,https://mail.example,ann,s3cret,\nMail,https://mail.example,bea,other,\nNone,https://n.example,x,,\n' >"$work/accounts.csv"
mkdir "$work/accounts"
expect 1 "import with a skipped row" "$tool" import "$work/accounts.csv" "$work/accounts"
check "standard output holds the summary alone" test "$(cat "$work/out")" = "2 imported, 1 skipped"
check "the reports go to standard error" grep -qx "line 3: same website as record 0: imported as another account" "$work/err"
check "with the skipped row's line" grep -qx "line 4: skipped: the password is empty" "$work/err"
expect 0 "check of a folder with a second account" "$tool" check "$work/accounts"
check "the second account is a note" grep -q "^note: record 1: same website or URL as record 0" "$work/out"
check "not a finding" grep -qx "no findings (1 note)" "$work/out"
printf 'Mail,https://mail.example,ann,s3cret,\n' >"$work/headless.csv"
mkdir "$work/headless"
expect 2 "a file without a header" "$tool" import "$work/headless.csv" "$work/accounts"
check "quotes none of its fields" test -z "$(grep -e mail.example -e s3cret -e ann "$work/err")"
check "names the columns a header needs and --columns" grep -q "URL, user name or password column.*--columns LIST" "$work/err"
expect 0 "the same file with --columns" "$tool" import "$work/headless.csv" "$work/headless" \
  --columns title,url,username,password,notes
check "its first row is a login" grep -qx "1 imported, 0 skipped" "$work/out"
expect 2 "--format that the header does not match" "$tool" import "$work/accounts.csv" "$work/accounts" --format bitwarden-csv
check "nothing was added" test "$(stat -c %s "$work/accounts/Kestal.dat")" = 1024

# A fresh folder: settings that count no records, and no database file yet.
mkdir "$work/fresh"
{ printf '\0\0\0\0'; printf 'Z:%s\\' "$(printf '%s' "$work/fresh" | tr / '\\')"; } >"$work/fresh/KSys.dat"
truncate -s 320 "$work/fresh/KSys.dat"
expect 0 "check of a fresh folder" "$tool" check "$work/fresh"
check "it is sound" grep -qx "no findings" "$work/out"

# A database file cut inside its second record: export and list show the partial record,
# its missing bytes empty, as the program shows it, say so, and exit 1.
mkdir "$work/cut"
cp "$work/db/KSys.dat" "$work/db/Kestal.dat" "$work/cut/"
name_folder "$work/cut/KSys.dat" "$work/cut"
truncate -s 700 "$work/cut/Kestal.dat"
expect 1 "export of a cut database" "$tool" export "$work/cut" --format browser-csv
check "the cut record is exported as far as it goes" test "$(cat "$work/out")" = "$(printf 'name,url,username,password,note\nMail,https://mail.example,ann,s3cret,\nBank,https://bank.example,,,')"
check "with a warning" grep -q "ends in a partial record of 188 bytes: record 1 is used with its missing 324 bytes empty" "$work/err"
expect 1 "list of a cut database" "$tool" list "$work/cut"
check "two lines" test "$(wc -l <"$work/out")" = 2
# An import keeps the cut record as the program's next save would: its missing bytes empty.
cp "$work/cut/Kestal.dat" "$work/cut-before"
printf 'name,url,username,password\nNew,https://new.example,me,pw\n' >"$work/one.csv"
expect 1 "import into a cut database" "$tool" import "$work/one.csv" "$work/cut"
check "imported after the cut record" test "$(stat -c %s "$work/cut/Kestal.dat")" = 1536
check "whose bytes are kept" cmp -s -n 700 "$work/cut/Kestal.dat" "$work/cut-before"
check "the rest of it empty" test -z "$(head -c 1024 "$work/cut/Kestal.dat" | tail -c 324 | tr -d '\0')"

# A line break in a password changes what logs in: imported as a space, and said.
mkdir "$work/breaks"
printf 'name,url,username,password\nA,https://a.example,alice,"pass\nword"\n' >"$work/breaks.csv"
expect 1 "a password over two lines" "$tool" import "$work/breaks.csv" "$work/breaks"
check "the change is reported" grep -q "password: line breaks became spaces" "$work/err"

# A folder the program's 255-byte path cannot join "Kestal.dat" to is refused, however
# short it is for the settings' 256 bytes.
deep="$work"
while [ "$(printf 'Z:%s\\' "$deep" | wc -c)" -lt 246 ]; do deep="$deep/d"; done
mkdir -p "$deep"
expect 2 "import into a folder of $(printf 'Z:%s\\' "$deep" | wc -c) bytes" "$tool" import "$work/one.csv" "$deep"
check "nothing written" test ! -e "$deep/KSys.dat" -a ! -e "$deep/Kestal.dat"
shallow=${deep%/d/d/d}
mkdir -p "$shallow/x"
expect 0 "import into a folder of $(printf 'Z:%s/x\\' "$shallow" | wc -c) bytes" "$tool" import "$work/one.csv" "$shallow/x"

if [ "$failures" -gt 0 ]; then
  echo "$failures failed"
  exit 1
fi
echo "command line: all passed"
