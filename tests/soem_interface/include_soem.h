/* What the declaration checks preprocess: our <soem/soem.h>. */
#include <soem/soem.h>
