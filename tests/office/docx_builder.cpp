// The word-processing package builders of the automation tests (buildDocx, readZip, para, ...), built
// into the office tests too.
#include "platform/automation/docx_fixture.cpp"
