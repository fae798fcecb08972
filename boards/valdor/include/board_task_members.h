// valdor's own members of BoardTask; included inside the class, after the
// shared members and in this order.
uint32_t _dinMask = 0;
uint8_t _debouncePin = 0xFF; // none
DebounceTimer _debounceTimer{this};
TaskHandle_t _statusLedTask = nullptr;
uint32_t _doutMask = 0;
uint32_t _doutImage = 0;
uint16_t _ledFadingState = LED_FADING_OFF;
TaskHandle_t _aReadTask = nullptr;
DAC _dac{DAC::DUAL_12BIT, 22, spi0};

public:
LedFadingState getLedFadingState() const {
    return static_cast<LedFadingState>(_ledFadingState);
}

private:
void _initOutputs();
void _updateOutputs();
void _setLedFadingState(LedFadingState state);
