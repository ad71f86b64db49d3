#!/usr/bin/env node
// wav-crc32.js FILE.wav: prints the CRC-32 (zlib) of a 16-bit WAV file's sample data, as
// 8 lower-case hex digits: what the page's offline mode shows for the same run's sound.
'use strict';
const fs = require('node:fs');
const zlib = require('node:zlib');

// What follows the 'data' chunk header; the other chunks are skipped by their sizes.
function wavData(file) {
  const bytes = fs.readFileSync(file);
  if (bytes.length < 12 || bytes.toString('ascii', 0, 4) !== 'RIFF' || bytes.toString('ascii', 8, 12) !== 'WAVE') {
    throw new Error(`${file} is not a WAV file`);
  }
  for (let at = 12; at + 8 <= bytes.length;) {
    const id = bytes.toString('ascii', at, at + 4);
    const size = bytes.readUInt32LE(at + 4);
    if (id === 'data') {
      if (at + 8 + size > bytes.length) throw new Error(`${file} is cut short`);
      return bytes.subarray(at + 8, at + 8 + size);
    }
    at += 8 + size + (size & 1);
  }
  throw new Error(`${file} has no data chunk`);
}

function wavCrc32(file) {
  return (zlib.crc32(wavData(file)) >>> 0).toString(16).padStart(8, '0');
}

module.exports = {wavCrc32, wavData};

if (require.main === module) {
  if (process.argv.length !== 3) {
    console.error('usage: wav-crc32.js FILE.wav');
    process.exit(2);
  }
  try {
    console.log(wavCrc32(process.argv[2]));
  } catch (error) {
    console.error(`wav-crc32: ${error.message}`);
    process.exit(1);
  }
}
