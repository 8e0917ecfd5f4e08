"""Lumera streams: compress, decompress and explain them, and find them in executables."""

from typing import Any, Literal, Optional, TypedDict, Union

__version__: str

Buffer = Union[bytes, bytearray, memoryview]

class LumeraError(Exception):
    kind: Literal["InvalidStream", "TooLarge", "OutputLimit", "BadExecutable", "RefusedEvent"]
    class_name: str
    message: str
    out_offset: Optional[int]
    source_offset: Optional[int]
    input_offset: Optional[int]
    event_index: Optional[int]

class Resource(TypedDict):
    type: str
    type_id: int
    name: str
    id: Optional[int]
    language: int
    size: int
    file_offset: int
    error: Optional[str]

def decompress(data: Buffer, max_output: int = 67108864, *, allow_trailing: bool = False) -> bytes: ...
def compress(data: Buffer, level: int = 1) -> bytes: ...
def explain(data: Buffer, max_output: int = 67108864) -> list[dict[str, Any]]: ...
def pack_events(events: list[dict[str, Any]], max_output: int = 67108864) -> bytes: ...
def list_resources(exe: Buffer) -> list[Resource]: ...
def find_resource(
    exe: Buffer, name: str = "IDR_LUMERA", type: Union[int, str] = 10,
    language: Optional[int] = None,
) -> bytes: ...
def find_resource_with_language(
    exe: Buffer, name: str = "IDR_LUMERA", type: Union[int, str] = 10,
    language: Optional[int] = None,
) -> tuple[bytes, int]: ...
def replace_resource(
    exe: Buffer,
    stream: Buffer,
    name: str = "IDR_LUMERA",
    type: Union[int, str] = 10,
    language: Optional[int] = None,
    strip_signature: bool = False,
    level: Optional[int] = None,
) -> bytes: ...
