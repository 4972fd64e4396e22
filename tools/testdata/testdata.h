// The test-data library in one include: builders for contacts2.db and
// mmssms.db with the real Android layouts, the whole-phone generator with its
// ground truth, and the leaf-page inspector for exact deletion scenarios.
#pragma once

#include "contacts_db_builder.h"
#include "page_inspector.h"
#include "phone_generator.h"
#include "sms_db_builder.h"
#include "sqlite_util.h"
#include "testdata_types.h"
