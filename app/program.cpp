// The demonstration's global record.
#include "app/program.h"

ProgramState gProgram;

void CreateProgramLists() {
  CreateLinkedList(&gProgram.registry, (int32_t)sizeof(void*), nullptr, kProgramListType);
  CreateLinkedList(&gProgram.birds, (int32_t)sizeof(void*), nullptr, kProgramListType);
}
