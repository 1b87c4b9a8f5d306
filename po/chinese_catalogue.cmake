# cmake -DPOT=<template> -DOUT=<po> -P chinese_catalogue.cmake
# The template with a Chinese header and no date (so the catalogue is the
# same from build to build); msgen then gives every text itself.
file(READ ${POT} text)
string(REPLACE "#, fuzzy\nmsgid \"\"" "msgid \"\"" text "${text}")
string(REGEX REPLACE "\"POT-Creation-Date: [^\n]*\n" "" text "${text}")
string(REPLACE "\"Language: \\n\"" "\"Language: zh\\n\"" text "${text}")
string(REPLACE "nplurals=INTEGER; plural=EXPRESSION;" "nplurals=1; plural=0;" text "${text}")
file(WRITE ${OUT} "${text}")
