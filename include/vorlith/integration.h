#pragma once
// The whole public API of the integration library.

#include <vorlith/dummy.h>
#include <vorlith/export_direct_methods.h>
#include <vorlith/fail_fast.h>
#include <vorlith/fft.h>
#include <vorlith/host_hooks.h>
#include <vorlith/integration_convert.h>
#include <vorlith/integration_filter.h>
#include <vorlith/integration_line.h>
#include <vorlith/integration_math.h>
#include <vorlith/integration_predict.h>
#include <vorlith/integration_range.h>
#include <vorlith/integration_spline.h>
#include <vorlith/integration_string.h>
#include <vorlith/legacy_type.h>
#include <vorlith/multi_vector.h>
#include <vorlith/opaque.h>
#include <vorlith/point.h>
#include <vorlith/rollweight.h>
