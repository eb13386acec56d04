// The application manifest, read back from the built Kestal.exe and parsed: the program runs
// as the user without file virtualisation, names the Windows versions it supports, is
// system DPI aware and asks for Common Controls 6. And the manifest takes effect: this test
// program carries the same resources, so the common controls it runs with are version 6.
#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "rapidxml.hpp"

namespace {

// The Windows form of the path CMake gave for Kestal.exe (a Linux path under Wine).
std::string ProgramPath()
{
    std::string path = KESTAL_PROGRAM;
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    return path;
}

// The text of RT_MANIFEST 1 of the program, or "" when there is none.
std::string ManifestOfProgram()
{
    HMODULE program = LoadLibraryExA(ProgramPath().c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    EXPECT_NE((HMODULE)NULL, program) << ProgramPath();
    if (program == NULL)
        return "";
    std::string text;
    HRSRC found = FindResourceA(program, MAKEINTRESOURCEA(1), (LPCSTR)RT_MANIFEST);
    HGLOBAL loaded = found != NULL ? LoadResource(program, found) : NULL;
    const char* bytes = loaded != NULL ? (const char*)LockResource(loaded) : NULL;
    if (bytes != NULL)
        text.assign(bytes, SizeofResource(program, found));
    FreeLibrary(program);
    return text;
}

using Node = rapidxml::xml_node<>;

// The first element on path below node ("a/b/c"), or NULL.
Node* Find(Node* node, const std::string& path)
{
    size_t start = 0;
    while (node != NULL && start <= path.size()) {
        size_t slash = path.find('/', start);
        std::string name = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        node = node->first_node(name.c_str());
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    return node;
}

std::string Attribute(Node* node, const char* name)
{
    rapidxml::xml_attribute<>* a = node != NULL ? node->first_attribute(name) : NULL;
    return a != NULL ? a->value() : "";
}

} // namespace

TEST(Manifest, TheProgramCarriesEveryElementOfACurrentWindowsProgram)
{
    std::string text = ManifestOfProgram();
    ASSERT_FALSE(text.empty()) << "Kestal.exe holds no RT_MANIFEST 1";
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back(0);
    rapidxml::xml_document<> document;
    try {
        document.parse<0>(buffer.data());
    } catch (const rapidxml::parse_error& e) {
        FAIL() << "the manifest is no well-formed XML: " << e.what();
    }
    Node* assembly = document.first_node("assembly");
    ASSERT_NE((Node*)NULL, assembly);
    EXPECT_EQ("1.0", Attribute(assembly, "manifestVersion"));

    Node* level = Find(assembly, "trustInfo/security/requestedPrivileges/requestedExecutionLevel");
    EXPECT_EQ("asInvoker", Attribute(level, "level"));

    std::set<std::string> systems;
    for (Node* os = Find(assembly, "compatibility/application/supportedOS"); os != NULL;
         os = os->next_sibling("supportedOS"))
        systems.insert(Attribute(os, "Id"));
    EXPECT_EQ((std::set<std::string>{
                  "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", // Windows 7
                  "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", // Windows 8
                  "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", // Windows 8.1
                  "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", // Windows 10 and 11
              }),
              systems);

    Node* dpiAware = Find(assembly, "application/windowsSettings/dpiAware");
    ASSERT_NE((Node*)NULL, dpiAware);
    EXPECT_STREQ("true", dpiAware->value());

    Node* controls = Find(assembly, "dependency/dependentAssembly/assemblyIdentity");
    EXPECT_EQ("Microsoft.Windows.Common-Controls", Attribute(controls, "name"));
    EXPECT_EQ("6.0.0.0", Attribute(controls, "version"));
    EXPECT_EQ("6595b64144ccf1df", Attribute(controls, "publicKeyToken"));
    EXPECT_EQ("win32", Attribute(controls, "type"));
}

TEST(Manifest, CommonControlsSixAreWhatTheWindowsRunWith)
{
    InitCommonControls();
    HMODULE controls = GetModuleHandleA("comctl32.dll");
    ASSERT_NE((HMODULE)NULL, controls);
    DLLGETVERSIONPROC getVersion = (DLLGETVERSIONPROC)(void*)GetProcAddress(controls, "DllGetVersion");
    ASSERT_NE((DLLGETVERSIONPROC)NULL, getVersion);
    DLLVERSIONINFO version = {};
    version.cbSize = sizeof(version);
    ASSERT_EQ(S_OK, getVersion(&version));
    char path[MAX_PATH] = "";
    GetModuleFileNameA(controls, path, sizeof(path));
    CharLowerA(path);
    // Windows' version 6 says 6. Wine's says 5 whichever copy answers, so there the copy
    // itself tells: the one from the side-by-side store of Common Controls 6.0, not the one
    // from the system folder.
    bool sixByPlace = strstr(path, "\\winsxs\\") != NULL && strstr(path, "common-controls") != NULL &&
                      strstr(path, "_6.0.") != NULL;
    EXPECT_TRUE(version.dwMajorVersion == 6 || sixByPlace) << version.dwMajorVersion << " " << path;
}
