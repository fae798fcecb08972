// valdor's own members of BoardTask; included inside the class.
DebounceTimer _debounceTimer{this};
TaskHandle_t _statusLedTask = nullptr;
TaskHandle_t _aReadTask = nullptr;
