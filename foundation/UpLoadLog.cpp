#include "UpLoadLog.h"

// The diagnostics upload is being built; until then the decision uploads nothing.
void UploadDiagnostics(const std::string&, bool) {}
