#version 330
layout(std140) uniform Projection {
	mat4 mProjectionMatrix;
};
layout(std140) uniform Model {
	mat4 mModelViewMatrix;
	mat3 mNormalMatrix;
};
in vec4 vVertex;
in vec2 vTexCoord0;
out vec3 vDirection;

void main() {
	vDirection = normalize(vVertex.xyz);
	gl_Position = mProjectionMatrix * mModelViewMatrix * vVertex;
}
