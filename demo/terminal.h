// Printing the library's GBK answers on a UTF-8 terminal, tables aligned.
#pragma once
#include <string>

namespace demo {

// GBK bytes as UTF-8 (the library's own bytes stay untouched).
std::string toUtf8(const std::string& gbk);
// UTF-8 typed by a person as GBK for the library.
std::string toGbk(const std::string& utf8);

// Prints a line of GBK text on standard output as UTF-8.
void say(const std::string& gbk);

// Prints table text (TAB between cells, LF between lines) as aligned columns.
void printTable(const std::string& gbkTable);

}  // namespace demo
