#include "process_tree.h"

// The run's job object ends every process of the run.

void TRunTree::Tag(QProcessEnvironment&)
{
}

void TRunTree::AskToEnd(qint64) const
{
}

void TRunTree::Kill(qint64) const
{
}

void TRunTree::Signal(qint64, int) const
{
}
