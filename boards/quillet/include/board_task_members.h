// quillet's own members of BoardTask; included inside the class.
void _updateOutputs();

uint32_t _dinMask = 0;
uint8_t _debouncePin = 0xFF; // none
DebounceTimer _debounceTimer{this};
uint32_t _doutMask = 0;  // GPIO bits of the nine outputs
uint32_t _doutImage = 0; // pin image of the last output update
TaskHandle_t _thermoTask = nullptr;
