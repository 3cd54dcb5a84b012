// Printing the library's GBK answers on a UTF-8 terminal, tables aligned.
#pragma once
#include <string>

namespace demo {

// Prints a line of GBK text on standard output as UTF-8.
void say(const std::string& gbk);

// Prints table text (TAB between cells, LF between lines) as aligned columns.
void printTable(const std::string& gbkTable);

}  // namespace demo
