// CTask is a plain record; its only logic lives inline and in SliceRules.
#include "CTask.h"
