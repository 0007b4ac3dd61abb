#include "mrv/prompts.h"
