#pragma once

// The strict JSON kit in one include.
#include "Support/Json/JsonArrayReader.h"
#include "Support/Json/JsonError.h"
#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"
#include "Support/Json/JsonWriter.h"
