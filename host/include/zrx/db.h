// The drawing database: ids, objects, entities, tables, the database itself.
#pragma once

#include "zrx/db/blockref.h"
#include "zrx/db/database.h"
#include "zrx/db/entity.h"
#include "zrx/db/foreign_entity.h"
#include "zrx/db/ids.h"
#include "zrx/db/line.h"
#include "zrx/db/mtext.h"
#include "zrx/db/object.h"
#include "zrx/db/polyline3d.h"
#include "zrx/db/symtab.h"
#include "zrx/db/text.h"
