#pragma once

#include <QString>

// A script of `words` English-like words in paragraphs of sentences, the
// same on every run.
QString benchScript(int words);
