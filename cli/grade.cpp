// The commands that grade a class from its sources and turn results into grade sheets.
#include "cli/commands.h"

int grade_command(const Settings &)
{
    throw Failure{"grade is not available in this build"};
}

int merge_command(const Settings &)
{
    throw Failure{"merge is not available in this build"};
}

int init_command(const Settings &)
{
    throw Failure{"init is not available in this build"};
}
