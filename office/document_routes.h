// The office layer's services for the engines: the document replacers that a Replacer or Batch Replacer
// run hands its word-processor, spreadsheet, presentation and OpenDocument files to, and the spreadsheet
// source of batch tables.
#pragma once

#include <memory>

#include "engines/replace_threads.h"

namespace wux::office {

// The document replacer for one request of a run's thread (nullptr for a kind that has none).
std::unique_ptr<engines::IDocumentReplacer>
createOfficeReplacer(const engines::DocumentReplacerRequest& request);

// Registers the document replacers with the run threads and the spreadsheet table loader with the batch
// tables. Start-up calls it once.
void registerOfficeServices();

} // namespace wux::office
