// modPub: the program's shared procedures, no widgets. New code includes the subject header it uses.
#pragma once

#include "core/bankfile.h"
#include "core/network.h"
#include "core/programversion.h"
#include "core/settings.h"
#include "core/textutil.h"
