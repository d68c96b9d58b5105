// Class records of the advanced module pack.
#pragma once

#include "Modules/Advanced/ComplexModules.h"
#include "Modules/Advanced/ControlledFilters.h"
#include "Modules/Advanced/FftModules.h"
#include "Modules/Advanced/HpBiquads.h"
#include "Modules/Advanced/Lookups.h"
#include "Modules/Advanced/Measurements.h"
#include "Modules/Advanced/Rebuffering.h"
#include "Modules/Advanced/SampleStatistics.h"
#include "Modules/Advanced/SbBeamformers.h"
#include "Modules/Advanced/SbEchoCancellers.h"
#include "Modules/Advanced/SbNoiseReducer.h"
#include "Modules/Advanced/SbSplitter.h"
#include "Modules/Advanced/SbStereoEchoCanceller.h"
#include "Modules/Advanced/Statistics.h"
#include "Modules/Advanced/Windows.h"
