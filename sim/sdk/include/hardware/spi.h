// SPI0 and SPI1 (PL022) as masters. Only SPI0 is wired on the simulated
// boards.
#ifndef _HARDWARE_SPI_H
#define _HARDWARE_SPI_H

#include "pico.h"

#ifdef __cplusplus
extern "C" {
#endif

// An SPI instance is named by the address of its registers, as on the chip.
typedef struct spi_inst spi_inst_t;
#define spi0 ((spi_inst_t*)0x4003c000u)
#define spi1 ((spi_inst_t*)0x40040000u)

typedef enum { SPI_CPHA_0 = 0, SPI_CPHA_1 = 1 } spi_cpha_t;
typedef enum { SPI_CPOL_0 = 0, SPI_CPOL_1 = 1 } spi_cpol_t;
typedef enum { SPI_LSB_FIRST = 0, SPI_MSB_FIRST = 1 } spi_order_t;

// Resets the block, sets the rate (returns the rate reached), 8-bit frames
// in mode 0, and enables it.
uint spi_init(spi_inst_t* spi, uint baudrate);
void spi_deinit(spi_inst_t* spi);
uint spi_set_baudrate(spi_inst_t* spi, uint baudrate);
uint spi_get_baudrate(const spi_inst_t* spi);
uint spi_get_index(const spi_inst_t* spi);
// The PL022 shifts MSB first only; `order` is not used.
void spi_set_format(spi_inst_t* spi, uint data_bits, spi_cpol_t cpol, spi_cpha_t cpha,
                    spi_order_t order);

int spi_write_read_blocking(spi_inst_t* spi, const uint8_t* src, uint8_t* dst, size_t len);
int spi_write_blocking(spi_inst_t* spi, const uint8_t* src, size_t len);
int spi_read_blocking(spi_inst_t* spi, uint8_t repeated_tx_data, uint8_t* dst, size_t len);
int spi_write16_read16_blocking(spi_inst_t* spi, const uint16_t* src, uint16_t* dst, size_t len);
int spi_write16_blocking(spi_inst_t* spi, const uint16_t* src, size_t len);
int spi_read16_blocking(spi_inst_t* spi, uint16_t repeated_tx_data, uint16_t* dst, size_t len);

#ifdef __cplusplus
}
#endif

#endif
