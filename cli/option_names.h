#pragma once
// Options have Italian names, as the window's captions do. The English names
// some options had first keep working, for the scripts written with them:
// each command gives them their Italian names before reading its options.
#include <initializer_list>
#include <span>
#include <string>

#include "cli/commands.h"

namespace crv::cli {

// An English option name and the Italian name it stands for.
struct Sinonimo {
    const char* inglese;
    const char* italiano;
};
using Sinonimi = std::span<const Sinonimo>;

// The English names of the options every command takes (--root, --help).
extern const Sinonimi kSinonimiComuni;

// Rewrites each argument before "--" that names an option by an English name
// of `gruppi` or of kSinonimiComuni ("--bank", "--out=x.xlsx") to its
// Italian name, keeping the value.
void nomiItaliani(Args& args, std::initializer_list<Sinonimi> gruppi = {});

// The help's closing lines listing those English names beside the Italian ones.
std::string aiutoSinonimi(std::initializer_list<Sinonimi> gruppi = {});

}  // namespace crv::cli
