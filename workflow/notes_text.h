#pragma once

#include "runtime/text.h"

namespace quillmere::workflow {

// The operator's notes shown in 编辑框1 at start-up and after every completed run.
Text NotesText();

}  // namespace quillmere::workflow
