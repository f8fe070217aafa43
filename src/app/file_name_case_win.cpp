#include "file_name_case.h"

Qt::CaseSensitivity FileNameCase()
{
    return Qt::CaseInsensitive;
}
