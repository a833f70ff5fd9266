#pragma once

// Windows file services over the host, addressed by Windows paths. Failures
// are reported as Windows error codes, as everywhere in platform/ (Errors.h).
#include "platform/Attributes.h"
#include "platform/EntryOps.h"
#include "platform/Folder.h"
#include "platform/HostFile.h"
#include "platform/NameRules.h"
#include "platform/Replacement.h"
