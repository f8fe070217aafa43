#pragma once

// The two result windows a run can open.
#include "report_form.h"
#include "sources_form.h"
