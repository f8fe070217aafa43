#pragma once

// The JSON value tree and its parser, for the documents the collector prints.
#include "json_parser.h"
#include "json_value.h"
