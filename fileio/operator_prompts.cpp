#include "fileio/operator_prompts.h"

namespace qm {
namespace {

SilentPrompts<> g_silent;
OperatorPrompts* g_prompts = &g_silent;

}  // namespace

OperatorPrompts& Prompts() { return *g_prompts; }
void SetOperatorPrompts(OperatorPrompts* prompts) { g_prompts = prompts ? prompts : &g_silent; }

}  // namespace qm
