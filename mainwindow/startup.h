// The program's entry: the process-wide services prepared in a fixed order, then the main window and the
// GUI message loop.
#pragma once

#include <QObject>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class QApplication;

namespace wux::mainwindow {

// Every module's built-in English texts, in a fixed order: the core's (the general texts 1-152), the
// drive list's, the file-operation windows', the tool windows' (query dialog, run window, search
// results), the browser panel's, the main window's (with the tip of the day and the about box) and the
// options dialog's. A module added later registers its texts here, after these.
void RegisterModuleTexts();

// The process command line rebuilt from the arguments: separated by one blank, an argument holding a
// blank (or nothing) inside double quotes.
std::string CommandLineFromArguments(int argc, const char* const* argv);

// Reads one token of a command line from position (1-based) and moves position past it and past the
// blanks after it. A token in double quotes runs to the closing quote (or the end of the text) and may
// hold blanks; another token ends at the first blank. Only the blank separates tokens. True when more
// text follows the token.
bool ReadCommandLineToken(std::string& token, std::size_t& position, std::string_view text);

// When the command line holds anything after its first token (the program's path), the current folder
// is set to that token; the result is not looked at.
void ApplyCommandLine(std::string_view commandLine);

// A language file's path: a bare file name lies in the program folder; a name with a folder is taken as
// it is.
std::string LanguageFilePath(const std::string& programFolder, const std::string& languageName);

// The help file for a language: programFolder\ + languageName + ".chm" when that file exists, else
// programFolder\ + "wux.chm".
std::string HelpFilePath(const std::string& programFolder, const std::string& languageName);

// Steps 1 to 6 of the entry: the settings file, the command line, the language from the registry and its
// file, the help file; then, once, the services the windows need (rename-name builder, office services,
// icon reader, device-change watch, font substitutions).
void PrepareProgram(std::string_view commandLine);

// Creates the main window (shown) and the about box and returns their owner; nullptr when the program
// has no main window.
using MainWindowFactory = std::function<std::unique_ptr<QObject>()>;

// The whole entry: RegisterModuleTexts, PrepareProgram, the windows from createWindows and the GUI message
// loop until the main window closes; returns the loop's exit code. Without a factory (or when it makes
// nothing) the general settings are loaded and the program ends with 0.
int RunProgram(QApplication& app, int argc, const char* const* argv, const MainWindowFactory& createWindows);

} // namespace wux::mainwindow
